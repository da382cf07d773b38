// -u, the user profile of a Windows installation: a value like -i's, which
// ends its argument and is taken as written (a name, not a path).
#include <gtest/gtest.h>

#include "backitem/command_line.h"
#include "backitem/program_state.h"

namespace tarnwick::test {
namespace {

struct UserOptionCase {
  std::vector<std::string> arguments;
  const char* user;  // nullptr: no -u
  bool batch;
};

TEST(UserOptionTest, NamesTheProfileAndEndsItsArgument) {
  const UserOptionCase cases[] = {
      {{"-utaro"}, "taro", false},  {{"-U:Hanako"}, "Hanako", false},
      {{"-u=taro"}, "taro", false}, {{"-u+:taro"}, "taro", false},
      {{"-wutaro"}, "taro", true},  {{"-uw"}, "w", false},  // the rest is the value, not a letter
      {{"-u"}, "", false},          {{"-u", "data"}, "", false},
      {{"-w"}, nullptr, true},
  };
  for (const UserOptionCase& c : cases) {
    SCOPED_TRACE(c.arguments.front());
    ProgramState state;
    CommandLineOptions options;
    EXPECT_TRUE(ParseCommandLine(c.arguments, "/opt/tarnwick/", state, options));
    EXPECT_EQ(options.UserProfile.value_or("<none>"), c.user ? c.user : "<none>");
    EXPECT_EQ(options.BatchExport, c.batch);
  }
}

}  // namespace
}  // namespace tarnwick::test

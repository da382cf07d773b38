// Start-up over a registry that cannot be written, such as a Windows
// installation's hives: the update-checker registration is skipped with a
// note, never a message box at every start.
#include <gtest/gtest.h>

#include "backitem/startup.h"
#include "backitem/update_check.h"
#include "memory_store.h"
#include "registry/registry.h"
#include "scripted_prompts.h"
#include "temp_dir.h"

namespace tarnwick::test {
namespace {

class ReadOnlyStore : public MemoryStore {
 public:
  bool ReadOnly() const override { return true; }
};

class NotingPorts : public StartupPorts {
 public:
  std::vector<std::string> notes;
  ScriptedPrompts prompts;

  bool AcquireInstanceLock() override { return true; }
  std::unique_ptr<RegistryStore> OpenRegistrySource(const std::string&) override {
    auto store = std::make_unique<ReadOnlyStore>();
    store->AddKey("HKCU\\Software\\Wendlor");
    return store;
  }
  PromptPort& Prompts() override { return prompts; }
  void Note(const std::string& text) override { notes.push_back(text); }
};

TEST(ReadOnlySourceStartupTest, SkipsTheUpdateCheckerWithANote) {
  TempDir dir;
  NotingPorts ports;
  Session session;
  StartupInput input{dir.File("tarnwick"), {"-r/mnt/windows"}, "", "", ""};
  ASSERT_EQ(StartProgram(session, input, ports), StartupOutcome::Started);
  EXPECT_EQ(ports.notes,
            std::vector<std::string>{
                "読み取り専用のレジストリなので、アップデート チェッカーには登録しません: "
                "/mnt/windows"});
  EXPECT_TRUE(ports.prompts.shown.empty());
  TRegistry registry(*session.store);
  EXPECT_FALSE(registry.KeyExists(std::string("Software\\Wendlor\\") + kMakerKey));
}

}  // namespace
}  // namespace tarnwick::test

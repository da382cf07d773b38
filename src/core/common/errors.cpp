#include "common/errors.h"

#include <cerrno>
#include <cstdio>

namespace tarnwick {

EInOutError MakeInOutError(int posixErrno) {
  switch (posixErrno) {
    case ENOENT:  // a missing folder on the way to the file: the name is wrong
    case ENOTDIR:
    case ENAMETOOLONG:
      return EInOutError(3, "ファイル名の指定が間違っています");
    case EMFILE:
    case ENFILE:
      return EInOutError(4, "オープンしたファイルが多すぎます");
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:  // Windows refuses a folder in place of the file as access denied
      return EInOutError(5, "ファイルへのアクセスが拒否されました");
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
      return EInOutError(101, "ディスクがいっぱいです");
    default: {
      char text[64];
      std::snprintf(text, sizeof text, "I/O エラー (%d)", posixErrno);
      return EInOutError(posixErrno, text);
    }
  }
}

}  // namespace tarnwick

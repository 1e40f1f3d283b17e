// The file dialogs hand their record to the answer a test set, after checking it is a record at all.
#include "plat/dialog.h"

#include <mutex>
#include <utility>

#include "plat/testing/dialog.h"

namespace plat {
namespace {

std::mutex g_mutex;
std::function<BOOL(FileDialogKind, OPENFILENAMEA*)> g_answer;

BOOL Ask(FileDialogKind kind, OPENFILENAMEA* record) {
  if (record == nullptr ||
      (record->lStructSize != sizeof(OPENFILENAMEA) && record->lStructSize != OPENFILENAME_SIZE_VERSION_400A))
    return FALSE;
  std::function<BOOL(FileDialogKind, OPENFILENAMEA*)> answer;
  {
    // Copied out so the answer may itself set another one without waiting for the lock.
    std::lock_guard<std::mutex> lock(g_mutex);
    answer = g_answer;
  }
  return answer && answer(kind, record) ? TRUE : FALSE;
}

}  // namespace

BOOL GetOpenFileNameA(OPENFILENAMEA* record) { return Ask(FileDialogKind::Open, record); }

BOOL GetSaveFileNameA(OPENFILENAMEA* record) { return Ask(FileDialogKind::Save, record); }

void SetFileDialogAnswerForTesting(std::function<BOOL(FileDialogKind, OPENFILENAMEA*)> answer) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_answer = std::move(answer);
}

}  // namespace plat

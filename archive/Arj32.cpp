#include "archive/Arj32.h"

#include "archive/ArchiverDll.h"

namespace corvane {

TArj32::TArj32() {
  TArj32::LoadDLL();
}

void TArj32::LoadDLL() {
  binding_ = LoadSharedArchiverDll("ARJ 形式書庫", "UNARJ32J.DLL", "Unarj");
}

}  // namespace corvane

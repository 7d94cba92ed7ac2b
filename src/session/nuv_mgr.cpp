#include "session/nuv_mgr.h"

#include "platform/folder_utils.h"

NuvMgr::NuvMgr() {
  std::u16string x86Folder;
  std::u16string nativeFolder;
  platform::GetProgramFilesFolders(x86Folder, nativeFolder);
  installRoot = nativeFolder;
  // (The engine front object is created and given this controller as its callback receiver here.)
}

NuvMgr& GetNuvMgr() {
  static NuvMgr mgr;
  return mgr;
}

#include "session/nuv_mgr.h"

#include "engine/downloader_manager.h"
#include "platform/folder_utils.h"

NuvMgr::NuvMgr() : NuvMgr(std::make_unique<ns_NUK::DownloaderManager>()) {}

NuvMgr::NuvMgr(std::unique_ptr<ns_NUK::IDownloaderManager> front) : downloader(std::move(front)) {
  std::u16string x86Folder;
  std::u16string nativeFolder;
  platform::GetProgramFilesFolders(x86Folder, nativeFolder);
  installRoot = nativeFolder;
  if (downloader) downloader->SetCallBack(this);
}

NuvMgr::~NuvMgr() {
  if (!downloader) return;
  for (const auto& task : tasks) downloader->RemoveTask(task->id);
  downloader->Shutdown();
  downloader.reset();
}

NuvTask* NuvMgr::FindTask(int32_t taskId) {
  for (const auto& task : tasks)
    if (task->id == taskId) return task.get();
  return nullptr;
}

NuvMgr& GetNuvMgr() {
  static NuvMgr mgr;
  return mgr;
}

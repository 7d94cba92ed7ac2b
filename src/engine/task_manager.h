// The tasks of the engine: a map from task id to its downloader, guarded by the task lock.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>

#include "engine/downloader_interfaces.h"

namespace ns_NUK {

class CMultiDownloader;

class ITaskManager {
 public:
  virtual ~ITaskManager() = default;
  void SetObserver(IObserver* observer) { observer_ = observer; }
  virtual int GetTaskCount() = 0;
  virtual int AddTask(const std::u16string& url, const std::u16string& folder,
                      const std::u16string& reserved, int taskId, const std::u16string& exeVersion,
                      const std::u16string& md5, int value) = 0;
  virtual bool PauseTask(int taskId) = 0;
  virtual bool ResumeTask(int taskId) = 0;
  virtual bool RemoveAllTasks() = 0;
  virtual bool RemoveTask(int taskId) = 0;
  // With -1: whether any task exists.
  virtual bool HasTask(int taskId) = 0;
  virtual bool GetTaskProgress(int taskId, int64_t* total, int64_t* downloaded, int64_t* attempts,
                               int* elapsedSeconds) = 0;
  virtual std::u16string GetDescription() = 0;
  virtual void GetTaskStrings(int taskId, std::u16string* url, std::u16string* folder,
                              std::u16string* fileName) = 0;

 protected:
  IObserver* observer_ = nullptr;
};

class CMultiTaskManager : public ITaskManager {
 public:
  // Initialises libcurl for the process (nested initialisations are counted by libcurl).
  CMultiTaskManager();
  // Removes every task (waiting for its thread), then releases libcurl.
  ~CMultiTaskManager() override;

  int GetTaskCount() override;
  int AddTask(const std::u16string& url, const std::u16string& folder,
              const std::u16string& reserved, int taskId, const std::u16string& exeVersion,
              const std::u16string& md5, int value) override;
  bool PauseTask(int taskId) override;
  bool ResumeTask(int taskId) override;
  bool RemoveAllTasks() override;
  bool RemoveTask(int taskId) override;
  bool HasTask(int taskId) override;
  bool GetTaskProgress(int taskId, int64_t* total, int64_t* downloaded, int64_t* attempts,
                       int* elapsedSeconds) override;
  std::u16string GetDescription() override { return {}; }
  void GetTaskStrings(int taskId, std::u16string* url, std::u16string* folder,
                      std::u16string* fileName) override;

 private:
  // The task lock: the map, for the whole of every operation (including the wait for a removed
  // task's thread). Taken before any downloader's connection-list lock.
  std::mutex lock_;
  std::map<int, CMultiDownloader*> tasks_;
};

}  // namespace ns_NUK

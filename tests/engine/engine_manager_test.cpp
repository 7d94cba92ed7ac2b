// The front object and the command queue without a server: delivery of notification records,
// refused requests, queries on unknown tasks, command order.
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <vector>

#include "engine/downloader_manager.h"
#include "engine/task_operator.h"
#include "engine_recorder.h"
#include "engine_temp_dir.h"
#include "log/simple_log.h"

using namespace ns_NUK;
using enginetest::Recorder;

namespace {

DownloadNotification* Record(int type, intptr_t payload, int e1 = 0, int e2 = 0) {
  auto* n = new DownloadNotification;
  n->taskId = 5;
  n->type = type;
  n->payload = payload;
  n->extra1 = e1;
  n->extra2 = e2;
  return n;
}

// Records the commands the worker carries out, in order.
class CommandLog : public ITaskManager {
 public:
  int GetTaskCount() override { return 0; }
  int AddTask(const std::u16string&, const std::u16string&, const std::u16string&, int id,
              const std::u16string&, const std::u16string&, int) override {
    return Push("add:" + std::to_string(id)), id;
  }
  bool PauseTask(int id) override { return Push("pause:" + std::to_string(id)); }
  bool ResumeTask(int id) override { return Push("resume:" + std::to_string(id)); }
  bool RemoveAllTasks() override { return Push("removeall"); }
  bool RemoveTask(int id) override { return Push("remove:" + std::to_string(id)); }
  bool HasTask(int) override { return false; }
  bool GetTaskProgress(int, int64_t*, int64_t*, int64_t*, int*) override { return false; }
  std::u16string GetDescription() override { return {}; }
  void GetTaskStrings(int, std::u16string*, std::u16string*, std::u16string*) override {}

  bool WaitCount(size_t n) {
    std::unique_lock<std::mutex> guard(lock_);
    return changed_.wait_for(guard, std::chrono::seconds(10), [&] { return done_.size() >= n; });
  }
  std::vector<std::string> Done() {
    std::lock_guard<std::mutex> guard(lock_);
    return done_;
  }

 private:
  bool Push(const std::string& s) {
    {
      std::lock_guard<std::mutex> guard(lock_);
      done_.push_back(s);
    }
    changed_.notify_all();
    return true;
  }
  std::mutex lock_;
  std::condition_variable changed_;
  std::vector<std::string> done_;
};

}  // namespace

TEST(DownloaderManagerTest, NotificationsAreDeliveredByType) {
  DownloaderManager manager;
  Recorder rec;
  manager.SetCallBack(&rec);
  const int32_t code13 = 13, attempt = 2, error = 2;
  const std::u16string name = u"pkg.bin";
  manager.Notify(Record(kNotifyPrepare, 0), 0);
  manager.Notify(Record(kNotifyFileName, reinterpret_cast<intptr_t>(&name)), 0);
  // Sizes from 2 GiB up arrive whole.
  manager.Notify(Record(kNotifyFileSize, static_cast<intptr_t>(5000000000LL)), 0);
  manager.Notify(Record(kNotifyAttemptStarted, reinterpret_cast<intptr_t>(&attempt)), 0);
  manager.Notify(Record(kNotifyDnsQueried, reinterpret_cast<intptr_t>("no colon here")), 0);
  manager.Notify(Record(kNotifyDnsQueried, reinterpret_cast<intptr_t>("host:1.2.3.4,5.6.7.8")), 0);
  manager.Notify(Record(kNotifyPackageFileError, 0, 3, 28), 0);
  manager.Notify(Record(kNotifyPackageInfoFailed, reinterpret_cast<intptr_t>(&error)), 0);
  manager.Notify(Record(kNotifyAttemptFinished, 0, 2, 13), 0);
  manager.Notify(Record(99, 0), 0);  // unknown types are dropped
  manager.Notify(nullptr, 0);
  auto* progress = new ProgressPayload;
  progress->total = 5000000000LL;
  progress->downloaded = 4000000000LL;
  manager.Notify(Record(kNotifyProgress, reinterpret_cast<intptr_t>(progress)), 0);
  manager.Notify(Record(kNotifyFinished, reinterpret_cast<intptr_t>(&code13)), 0);
  EXPECT_EQ(rec.Joined(5), "prep name size try:2 dns ferr:3 info:2 end:2:13 fail:13");
  EXPECT_EQ(rec.Size(5), 5000000000LL);
  EXPECT_EQ(rec.LastDownloaded(5), 4000000000LL);

  // With neither mode set the records are only freed (the sanitizer builds see any leak).
  manager.SetCallBack(nullptr);
  manager.Notify(Record(kNotifyProgress, reinterpret_cast<intptr_t>(new ProgressPayload)), 0);
  // Window mode hands the record to the window, which frees it.
  std::vector<int> posted;
  manager.SetWindowPoster([&](NotifyWindowHandle w, int msg, intptr_t, DownloadNotification* n) {
    posted.push_back(static_cast<int>(w) + msg + n->type);
    FreeNotification(n);
    return true;
  });
  manager.SetNotifyWindow(100, 20);
  manager.Notify(Record(kNotifyStarted, 0), 0);
  EXPECT_EQ(posted, std::vector<int>{127});
  manager.Shutdown();
}

TEST(DownloaderManagerTest, RefusedRequestsAndUnknownTasks) {
  enginetest::TempDir dir;
  simpleLog log(dir.File("engine.log"));
  log.Init();
  SetSimpleLog(&log);
  DownloaderManager manager;
  EXPECT_EQ(manager.AddTask(nullptr, u"/tmp", u"0", 3, u"", u"", 0), -1);
  SetSimpleLog(nullptr);
  EXPECT_NE(enginetest::ReadAll(log.CurrentFile()).find("[ERROR] add task failed, operator=["),
            std::string::npos);
  TaskInfo info;
  EXPECT_FALSE(manager.GetTaskInfo(3, &info));
  EXPECT_FALSE(manager.GetTaskInfo(3, nullptr));
  EXPECT_FALSE(manager.RemoveAllTasks());
  EXPECT_FALSE(manager.RemoveTaskIfPresent(3));
  EXPECT_EQ(manager.GetTaskCount(), 0);
  EXPECT_TRUE(manager.GetDescription().empty());
  EXPECT_TRUE(manager.Shutdown());
  EXPECT_TRUE(manager.PauseTask(3));  // queued, never carried out
}

TEST(TaskOperatorTest, CommandsRunInQueueOrderUntilStopped) {
  CommandLog tasks;
  CTaskOperator op;
  EXPECT_FALSE(op.StartWorker(nullptr));
  ASSERT_TRUE(op.StartWorker(&tasks));
  EXPECT_FALSE(op.StartWorker(&tasks));
  op.QueueAdd(u"http://h/p", u"/tmp", u"0", 7, u"", u"", 0);
  op.QueueCommand(kCommandPause, 7);
  op.QueueCommand(kCommandResume, 7);
  op.QueueCommand(kCommandRemove, 7);
  op.QueueCommand(kCommandRemoveAll, 0);
  op.QueueCommand(42, 7);  // unknown: skipped
  ASSERT_TRUE(tasks.WaitCount(5));
  op.StopWorker();
  op.QueueCommand(kCommandRemove, 8);
  EXPECT_EQ(tasks.Done(),
            (std::vector<std::string>{"add:7", "pause:7", "resume:7", "remove:7", "removeall"}));
}

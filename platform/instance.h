// What makes the program a single instance per user, in place of a named mutex, a tagged window
// and messages sent to it:
//  - the instance folder, a 0700 folder of this user's own in the runtime folder;
//  - CInstanceMutex, a lock file there: it "exists" while a live process holds its lock, so the
//    file a killed instance leaves behind is simply taken over;
//  - CWindowTagServer, a Unix-domain socket there named after the owning process, which answers
//    (tag, message, wparam, lparam) requests one at a time; SendToTaggedWindow connects to the
//    socket of a process and waits for the answer, as a sent window message waits for its handler;
//  - FindProcessByName and FindInstanceProcess, the process lookup over /proc;
//  - CNamedObjects, marker files that stand in for named kernel objects.
// Only the same user can reach any of it: the folder is 0700 and the server checks the peer's
// user ID. Nothing here throws.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace orvane {

// <RuntimeFolder()>/orvane, created 0700. Empty when it cannot be made, or when it exists but
// belongs to another user or is open to others (it is then not used at all).
std::string InstanceFolder();

class CInstanceMutex {
 public:
  enum class State {
    Created,   // no live holder: this object holds the lock now (a stale file is taken over)
    Existing,  // another live process holds it; this object keeps the file open, unlocked
    Failed,    // the folder or the file could not be used
  };

  CInstanceMutex() = default;
  ~CInstanceMutex() { Close(); }
  CInstanceMutex(const CInstanceMutex&) = delete;
  CInstanceMutex& operator=(const CInstanceMutex&) = delete;

  // Opens the lock file `name` in folder (InstanceFolder() when empty) and tries to take its lock.
  State Acquire(const std::string& name, const std::string& folder = {});
  // Lets the lock go (the file stays; the next start takes it over).
  void Close();
  bool Held() const { return held_; }
  bool IsOpen() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
  bool held_ = false;
};

// A request to a tagged window: a window message with its two parameters.
struct TaggedRequest {
  uint32_t message = 0;
  uint64_t wparam = 0;
  int64_t lparam = 0;
};

class CWindowTagServer {
 public:
  // Runs on the server's own thread, one request at a time; its result is the answer.
  using Handler = std::function<intptr_t(uint32_t message, uintptr_t wparam, intptr_t lparam)>;

  CWindowTagServer() = default;
  ~CWindowTagServer();
  CWindowTagServer(const CWindowTagServer&) = delete;
  CWindowTagServer& operator=(const CWindowTagServer&) = delete;

  // Listens as the tagged window of this process, carrying tag (the value a sender expects): socket "window-<pid>" in folder
  // (InstanceFolder() when empty), replacing a leftover of that name. False when it cannot.
  bool Start(uint32_t tag, Handler handler, const std::string& folder = {});
  // Stops taking requests: the socket file goes and no new connection is accepted. A request
  // whose handler is running still gets its answer. Safe from inside the handler.
  void Close();
  // Close, then waits for the server thread. Not from inside the handler.
  void Join();
  bool Listening() const { return listening_.load(); }
  const std::string& SocketPath() const { return path_; }

 private:
  void Serve();
  void ServeOne(int client);

  uint32_t tag_ = 0;
  Handler handler_;
  std::string path_;
  int listen_fd_ = -1;
  int wake_fd_ = -1;  // eventfd: Close wakes the thread's poll
  std::atomic<bool> listening_{false};
  std::atomic<bool> stopping_{false};
  std::thread thread_;
};

// The socket path of a process's tagged window in folder (InstanceFolder() when empty).
std::string TaggedWindowPath(pid_t pid, const std::string& folder = {});

// Sends the request to the tagged window of process pid and waits, without a time limit, until
// its handler has answered. Nothing when the process has no tagged window, its tag differs, or
// the connection breaks (the process ended) before the answer.
std::optional<intptr_t> SendToTaggedWindow(pid_t pid, uint32_t tag, const TaggedRequest& request,
                                           const std::string& folder = {});

// The bare file name of an executable's path ("/opt/orvane/orvane" -> "orvane").
std::string BareFileName(const std::string& path);

struct ProcessEntry {
  pid_t pid = 0;
  std::string exe_name;  // bare file name of the executable
};
// The processes this user may inspect, in process-ID order (oldest first, as pids grow).
std::vector<ProcessEntry> ProcessSnapshot(const std::string& proc_root = "/proc");
// The ID of the first process whose executable's bare name equals name without regard to case,
// the calling process included; 0 when there is none.
pid_t FindProcessByName(const std::string& name, const std::string& proc_root = "/proc");
// The running instance as this start can reach it: the first process of that name with a tagged
// window in folder (InstanceFolder() when empty). A program of the same name in another session
// or runtime folder has its socket elsewhere and is passed over. When no process of the name has
// one here (an instance still starting, or none but the caller), FindProcessByName's answer.
pid_t FindInstanceProcess(const std::string& name, const std::string& folder = {},
                          const std::string& proc_root = "/proc");

// Named objects: one empty file each in a folder of the instance folder. Files left over by a
// process that crashed are reused.
class CNamedObjects {
 public:
  CNamedObjects() = default;
  ~CNamedObjects() { Close(); }
  CNamedObjects(const CNamedObjects&) = delete;
  CNamedObjects& operator=(const CNamedObjects&) = delete;

  // Creates (or reuses) every name in <folder>/objects (InstanceFolder() when folder is empty).
  // Returns how many exist afterwards.
  size_t Create(const std::vector<std::string>& names, const std::string& folder = {});
  // Removes the files this object created or reused.
  void Close();
  size_t Count() const { return paths_.size(); }
  const std::vector<std::string>& Paths() const { return paths_; }

 private:
  std::vector<std::string> paths_;
};

}  // namespace orvane

#define FUSE_USE_VERSION 35
#include "sim/fuse/fuse_server.h"

#include <fcntl.h>
#include <fuse_lowlevel.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <vector>

namespace orvane {

namespace {

constexpr fuse_ino_t kRootIno = FUSE_ROOT_ID;
constexpr fuse_ino_t kFirstNodeIno = 2;  // node n is inode 2 + n

// One open of a node file. Everything in it is guarded by the hub's mutex.
struct OpenFile {
  std::shared_ptr<SimEndpoint> endpoint;
  std::deque<fuse_req_t> waiting_reads;
  fuse_pollhandle* poll_handle = nullptr;
};

struct ServerContext {
  CSimHub* hub;
  // Files still open; a client may hold a node open when the server is told to stop, and the
  // kernel then sends no release for it. Guarded by the hub's mutex.
  std::set<OpenFile*> open_files;
};

ServerContext& ContextOf(fuse_req_t req) { return *static_cast<ServerContext*>(fuse_req_userdata(req)); }
CSimHub& HubOf(fuse_req_t req) { return *ContextOf(req).hub; }

std::string NodeName(int node) { return "hidraw" + std::to_string(node); }

int NodeOfIno(fuse_ino_t ino) {
  if (ino < kFirstNodeIno || ino >= kFirstNodeIno + kSimNodeCount) return -1;
  return static_cast<int>(ino - kFirstNodeIno);
}

void FillAttr(fuse_ino_t ino, struct stat* st) {
  std::memset(st, 0, sizeof(*st));
  st->st_ino = ino;
  st->st_uid = getuid();
  st->st_gid = getgid();
  if (ino == kRootIno) {
    st->st_mode = S_IFDIR | 0755;
    st->st_nlink = 2;
  } else {
    // Regular files: a device special file on a FUSE mount would open the real driver instead.
    st->st_mode = S_IFREG | 0660;
    st->st_nlink = 1;
  }
}

// With the hub's mutex held: hand waiting reads their reports, fail them once the keyboard is
// gone, and wake pollers.
void ServeLocked(CSimHub& hub, OpenFile& file) {
  SimEndpoint& ep = *file.endpoint;
  std::vector<uint8_t> report;
  while (!file.waiting_reads.empty() && hub.PopLocked(ep, &report)) {
    fuse_req_t req = file.waiting_reads.front();
    file.waiting_reads.pop_front();
    fuse_reply_buf(req, reinterpret_cast<const char*>(report.data()), report.size());
  }
  if (ep.gone) {
    while (!file.waiting_reads.empty()) {
      fuse_reply_err(file.waiting_reads.front(), ENODEV);
      file.waiting_reads.pop_front();
    }
  }
  if (file.poll_handle != nullptr && (!ep.queue.empty() || ep.gone)) {
    fuse_lowlevel_notify_poll(file.poll_handle);
    fuse_pollhandle_destroy(file.poll_handle);
    file.poll_handle = nullptr;
  }
}

void OnLookup(fuse_req_t req, fuse_ino_t parent, const char* name) {
  if (parent == kRootIno && HubOf(req).IsPlugged()) {
    for (int n = 0; n < kSimNodeCount; ++n) {
      if (NodeName(n) != name) continue;
      fuse_entry_param e{};
      e.ino = kFirstNodeIno + n;
      e.generation = 1;
      FillAttr(e.ino, &e.attr);
      e.attr_timeout = 0;  // unplugging must show at once
      e.entry_timeout = 0;
      fuse_reply_entry(req, &e);
      return;
    }
  }
  fuse_reply_err(req, ENOENT);
}

void OnGetattr(fuse_req_t req, fuse_ino_t ino, fuse_file_info*) {
  if (ino != kRootIno && NodeOfIno(ino) < 0) {
    fuse_reply_err(req, ENOENT);
    return;
  }
  struct stat st;
  FillAttr(ino, &st);
  fuse_reply_attr(req, &st, 0);
}

void OnReaddir(fuse_req_t req, fuse_ino_t ino, size_t size, off_t off, fuse_file_info*) {
  if (ino != kRootIno) {
    fuse_reply_err(req, ENOTDIR);
    return;
  }
  std::vector<std::pair<std::string, fuse_ino_t>> entries = {{".", kRootIno}, {"..", kRootIno}};
  if (HubOf(req).IsPlugged()) {
    for (int n = 0; n < kSimNodeCount; ++n) entries.emplace_back(NodeName(n), kFirstNodeIno + n);
  }
  std::vector<char> buf(size);
  size_t used = 0;
  for (size_t i = static_cast<size_t>(std::max<off_t>(off, 0)); i < entries.size(); ++i) {
    struct stat st;
    FillAttr(entries[i].second, &st);
    const size_t need = fuse_add_direntry(req, buf.data() + used, size - used,
                                          entries[i].first.c_str(), &st, static_cast<off_t>(i + 1));
    if (need > size - used) break;
    used += need;
  }
  fuse_reply_buf(req, buf.data(), used);
}

void OnOpen(fuse_req_t req, fuse_ino_t ino, fuse_file_info* fi) {
  const int node = NodeOfIno(ino);
  if (node < 0) {
    fuse_reply_err(req, EISDIR);
    return;
  }
  const int mode = fi->flags & O_ACCMODE;
  HidOpenError error = HidOpenError::None;
  auto endpoint = HubOf(req).Open(node, mode != O_WRONLY, mode != O_RDONLY, &error);
  if (!endpoint) {
    fuse_reply_err(req, ENODEV);
    return;
  }
  auto* file = new OpenFile;
  file->endpoint = std::move(endpoint);
  {
    CSimHub& hub = HubOf(req);
    std::lock_guard<std::mutex> lock(hub.Mutex());
    file->endpoint->on_change = [&hub, file] { ServeLocked(hub, *file); };
    ContextOf(req).open_files.insert(file);
  }
  fi->fh = reinterpret_cast<uint64_t>(file);
  fi->direct_io = 1;
  fi->nonseekable = 1;
  fi->keep_cache = 0;
  if (fuse_reply_open(req, fi) != 0) {
    CSimHub& hub = HubOf(req);
    {
      std::lock_guard<std::mutex> lock(hub.Mutex());
      file->endpoint->on_change = nullptr;
      ContextOf(req).open_files.erase(file);
    }
    hub.Close(file->endpoint);
    delete file;
  }
}

void OnReadInterrupted(fuse_req_t req, void* data) {
  auto* file = static_cast<OpenFile*>(data);
  CSimHub& hub = HubOf(req);
  bool found = false;
  {
    std::lock_guard<std::mutex> lock(hub.Mutex());
    for (auto it = file->waiting_reads.begin(); it != file->waiting_reads.end(); ++it) {
      if (*it == req) {
        file->waiting_reads.erase(it);
        found = true;
        break;
      }
    }
  }
  if (found) fuse_reply_err(req, EINTR);
}

void OnRead(fuse_req_t req, fuse_ino_t, size_t size, off_t, fuse_file_info* fi) {
  auto* file = reinterpret_cast<OpenFile*>(fi->fh);
  CSimHub& hub = HubOf(req);
  std::vector<uint8_t> report;
  bool wait = false;
  {
    std::lock_guard<std::mutex> lock(hub.Mutex());
    if (!file->endpoint->readable) {
      fuse_reply_err(req, EBADF);
      return;
    }
    if (!hub.PopLocked(*file->endpoint, &report)) {
      if (file->endpoint->gone) {
        fuse_reply_err(req, ENODEV);
        return;
      }
      if (fi->flags & O_NONBLOCK) {
        fuse_reply_err(req, EAGAIN);
        return;
      }
      wait = true;
    }
  }
  if (!wait) {
    fuse_reply_buf(req, reinterpret_cast<const char*>(report.data()), std::min(size, report.size()));
    return;
  }
  // Only this (the session) thread holds req until it is queued, so registering first is safe.
  fuse_req_interrupt_func(req, OnReadInterrupted, file);
  if (fuse_req_interrupted(req)) {
    fuse_reply_err(req, EINTR);
    return;
  }
  std::lock_guard<std::mutex> lock(hub.Mutex());
  file->waiting_reads.push_back(req);
  ServeLocked(hub, *file);  // input may have come in meanwhile
}

// A write held back by a stall; answered once, by the stall's end or by an interrupt.
struct StalledWrite {
  std::mutex mutex;
  bool answered = false;
};

// The timer's closure keeps the StalledWrite alive until it has run, and an answered request
// gets no more interrupts, so data is valid whenever this is called.
void OnWriteInterrupted(fuse_req_t req, void* data) {
  auto* stalled = static_cast<StalledWrite*>(data);
  std::lock_guard<std::mutex> lock(stalled->mutex);
  if (stalled->answered) return;
  stalled->answered = true;
  fuse_reply_err(req, EINTR);
}

void FinishWrite(fuse_req_t req, CSimHub& hub, SimEndpoint& ep, const std::vector<uint8_t>& data) {
  switch (hub.Write(ep, data.data(), data.size())) {
    case HidIoStatus::Ok:
      fuse_reply_write(req, data.size());
      return;
    case HidIoStatus::Disconnected:
      fuse_reply_err(req, ENODEV);
      return;
    default:
      fuse_reply_err(req, EPROTO);  // the device refused the transfer
      return;
  }
}

void OnWrite(fuse_req_t req, fuse_ino_t, const char* buf, size_t size, off_t, fuse_file_info* fi) {
  auto* file = reinterpret_cast<OpenFile*>(fi->fh);
  CSimHub& hub = HubOf(req);
  if (size == 0 || size > 4096) {
    fuse_reply_err(req, EINVAL);
    return;
  }
  std::vector<uint8_t> data(buf, buf + size);
  const uint32_t stall = file->endpoint->node == kSimVendorNode ? hub.Keyboard().TakeWriteStall() : 0;
  if (stall == 0) {
    FinishWrite(req, hub, *file->endpoint, data);
    return;
  }
  // A stuck device: the write stays in the kernel until the device takes it, or until the
  // writer is killed (the kernel then interrupts the request and we let it go unsent), so a
  // process with a stuck write can still end.
  std::shared_ptr<SimEndpoint> ep = file->endpoint;
  auto stalled = std::make_shared<StalledWrite>();
  // Registered before the timer can answer (and so free) the request.
  fuse_req_interrupt_func(req, OnWriteInterrupted, stalled.get());
  hub.RunAfter(stall, [req, &hub, ep, data, stalled] {
    std::lock_guard<std::mutex> lock(stalled->mutex);
    if (stalled->answered) return;
    stalled->answered = true;
    FinishWrite(req, hub, *ep, data);
  });
}

void OnPoll(fuse_req_t req, fuse_ino_t, fuse_file_info* fi, fuse_pollhandle* ph) {
  auto* file = reinterpret_cast<OpenFile*>(fi->fh);
  CSimHub& hub = HubOf(req);
  unsigned revents = POLLOUT | POLLWRNORM;
  {
    std::lock_guard<std::mutex> lock(hub.Mutex());
    if (!file->endpoint->queue.empty()) revents |= POLLIN | POLLRDNORM;
    if (file->endpoint->gone) revents |= POLLHUP | POLLERR;
    if (ph != nullptr) {
      if (file->poll_handle != nullptr) fuse_pollhandle_destroy(file->poll_handle);
      file->poll_handle = ph;
    }
  }
  fuse_reply_poll(req, revents);
}

void OnRelease(fuse_req_t req, fuse_ino_t, fuse_file_info* fi) {
  auto* file = reinterpret_cast<OpenFile*>(fi->fh);
  CSimHub& hub = HubOf(req);
  std::deque<fuse_req_t> orphans;
  {
    std::lock_guard<std::mutex> lock(hub.Mutex());
    file->endpoint->on_change = nullptr;
    ContextOf(req).open_files.erase(file);
    orphans.swap(file->waiting_reads);
    if (file->poll_handle != nullptr) fuse_pollhandle_destroy(file->poll_handle);
    file->poll_handle = nullptr;
  }
  for (fuse_req_t r : orphans) fuse_reply_err(r, EBADF);
  hub.Close(file->endpoint);
  delete file;
  fuse_reply_err(req, 0);
}

const fuse_lowlevel_ops kOps = [] {
  fuse_lowlevel_ops ops{};
  ops.lookup = OnLookup;
  ops.getattr = OnGetattr;
  ops.readdir = OnReaddir;
  ops.open = OnOpen;
  ops.read = OnRead;
  ops.write = OnWrite;
  ops.poll = OnPoll;
  ops.release = OnRelease;
  return ops;
}();

// The tree's files are 0644 and its folders 0755 whatever the umask: readable by the programs
// pointed at it, writable by nobody but this user.
bool WriteSmallFile(const std::filesystem::path& path, const void* data, size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
  out.close();
  return static_cast<bool>(out) && ::chmod(path.c_str(), 0644) == 0;
}

// Creates dir and its missing parents below root, each 0755.
void CreateFolders(const std::filesystem::path& root, const std::filesystem::path& dir,
                   std::error_code& ec) {
  std::filesystem::create_directories(dir, ec);
  for (std::filesystem::path p = dir; !p.empty() && p != root && p != p.parent_path(); p = p.parent_path())
    ::chmod(p.c_str(), 0755);
}

ServerContext g_context{nullptr, {}};

}  // namespace

CFuseHidServer::CFuseHidServer(CSimHub& hub, std::string root) : hub_(hub), root_(std::move(root)) {}

CFuseHidServer::~CFuseHidServer() { Shutdown(); }

// The tree has the shape of real sysfs: class/hidraw/hidrawN links into the device hierarchy,
// whose USB device folder carries bcdDevice and whose HID device folder the node's "device" link
// points at.
void CFuseHidServer::UpdateSysTree(bool plugged) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path sys(SysFolder());
  const fs::path usb = sys / "devices" / "usb1" / "1-1";
  for (int n = 0; n < kSimNodeCount; ++n) fs::remove(sys / "class" / "hidraw" / NodeName(n), ec);
  fs::remove_all(usb, ec);
  if (!plugged) return;
  CreateFolders(sys, usb, ec);
  char text[512];
  std::snprintf(text, sizeof(text), "%04x\n", kSimVersion);
  WriteSmallFile(usb / "bcdDevice", text, std::strlen(text));
  std::snprintf(text, sizeof(text), "%04x\n", kSimVendorId);
  WriteSmallFile(usb / "idVendor", text, std::strlen(text));
  std::snprintf(text, sizeof(text), "%04x\n", kSimProductId);
  WriteSmallFile(usb / "idProduct", text, std::strlen(text));
  for (int n = 0; n < kSimNodeCount; ++n) {
    // As the kernel does, every arrival makes new HID devices with the next sequence numbers.
    std::snprintf(text, sizeof(text), "1-1:1.%d/0003:%04X:%04X.%04X", n, kSimVendorId, kSimProductId,
                  ++hid_sequence_ & 0xFFFF);
    const fs::path hid = usb / text;
    const fs::path node = hid / "hidraw" / NodeName(n);
    CreateFolders(sys, node, ec);
    std::snprintf(text, sizeof(text),
                  "DRIVER=hid-generic\nHID_ID=0003:%08X:%08X\nHID_NAME=Orvane Simulated Keyboard\n"
                  "HID_PHYS=usb-orvane-sim-1/input%d\nHID_UNIQ=\nMODALIAS=hid:b0003g0001v%08Xp%08X\n",
                  kSimVendorId, kSimProductId, n, kSimVendorId, kSimProductId);
    WriteSmallFile(hid / "uevent", text, std::strlen(text));
    const std::vector<uint8_t>& desc = SimReportDescriptor(n);
    WriteSmallFile(hid / "report_descriptor", desc.data(), desc.size());
    const std::string devnum = "241:" + std::to_string(n) + "\n";
    WriteSmallFile(node / "dev", devnum.data(), devnum.size());
    fs::create_directory_symlink("../..", node / "device", ec);
    fs::create_directory_symlink(fs::relative(node, sys / "class" / "hidraw", ec),
                                 sys / "class" / "hidraw" / NodeName(n), ec);
  }
}

bool CFuseHidServer::Start(std::string* error) {
  namespace fs = std::filesystem;
  std::error_code ec;
  // A server that was killed leaves its mount behind ("transport endpoint is not connected").
  struct stat st;
  if (stat(DevFolder().c_str(), &st) != 0 && errno == ENOTCONN) umount2(DevFolder().c_str(), MNT_DETACH);
  CreateFolders(root_, fs::path(SysFolder()) / "class" / "hidraw", ec);
  if (!ec) CreateFolders(root_, DevFolder(), ec);
  if (ec) {
    if (error) *error = "cannot create " + root_ + ": " + ec.message();
    return false;
  }
  g_context.hub = &hub_;
  fuse_args args = FUSE_ARGS_INIT(0, nullptr);
  fuse_opt_add_arg(&args, "orvane-simkbd");
  fuse_opt_add_arg(&args, "-o");
  fuse_opt_add_arg(&args, "fsname=orvane-simkbd,default_permissions");
  session_ = fuse_session_new(&args, &kOps, sizeof(kOps), &g_context);
  fuse_opt_free_args(&args);
  if (session_ == nullptr) {
    if (error) *error = "cannot create the FUSE session";
    return false;
  }
  if (fuse_set_signal_handlers(session_) != 0) {
    if (error) *error = "cannot install signal handlers";
    return false;
  }
  handlers_ = true;
  if (fuse_session_mount(session_, DevFolder().c_str()) != 0) {
    if (error) *error = "cannot mount FUSE at " + DevFolder() + " (a stale mount? fusermount3 -u it)";
    return false;
  }
  mounted_ = true;
  hub_.SetPlugListener([this](bool plugged) { UpdateSysTree(plugged); });
  UpdateSysTree(hub_.IsPlugged());
  return true;
}

void CFuseHidServer::Run() {
  if (session_ == nullptr || !mounted_) return;
  loop_thread_ = pthread_self();
  fuse_session_loop(session_);
}

void CFuseHidServer::Stop() {
  if (session_ == nullptr) return;
  fuse_session_exit(session_);
  // The loop sits in a read of /dev/fuse; a signal to its thread ends that read.
  if (loop_thread_ != 0) pthread_kill(static_cast<pthread_t>(loop_thread_), SIGTERM);
}

void CFuseHidServer::Shutdown() {
  if (session_ == nullptr) return;
  hub_.SetPlugListener(nullptr);
  UpdateSysTree(false);
  // Files the kernel never released (a client still had a node open): the loop has ended, so
  // nothing else touches them; end their waiting reads and free them.
  std::set<OpenFile*> leftovers;
  {
    std::lock_guard<std::mutex> lock(hub_.Mutex());
    leftovers.swap(g_context.open_files);
    for (OpenFile* file : leftovers) {
      file->endpoint->on_change = nullptr;
      for (fuse_req_t r : file->waiting_reads) fuse_reply_err(r, ENODEV);
      file->waiting_reads.clear();
      if (file->poll_handle != nullptr) fuse_pollhandle_destroy(file->poll_handle);
      file->poll_handle = nullptr;
    }
  }
  for (OpenFile* file : leftovers) {
    hub_.Close(file->endpoint);
    delete file;
  }
  if (handlers_) fuse_remove_signal_handlers(session_);
  if (mounted_) fuse_session_unmount(session_);
  fuse_session_destroy(session_);
  session_ = nullptr;
  mounted_ = false;
  handlers_ = false;
}

}  // namespace orvane

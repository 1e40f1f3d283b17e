// The control socket of the simulated provider: a Unix stream socket with one text command per line.
#pragma once

#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace simtsp {

// Listens on a path and serves its clients one after the other on a thread of its own: each line a
// client sends ("\n" or "\r\n" ends it) is handed to the handler, and its answer goes back as one line.
// A client that neither sends nor takes an answer for the idle limit is given up once another client
// waits, so that one silent client cannot hold up every command; alone, it may stay as long as it likes.
class ControlSocket {
 public:
  using Handler = std::function<std::string(const std::string& command)>;

  explicit ControlSocket(std::chrono::milliseconds idleLimit = std::chrono::seconds(10))
      : m_idleLimit(idleLimit) {}
  ~ControlSocket();
  ControlSocket(const ControlSocket&) = delete;
  ControlSocket& operator=(const ControlSocket&) = delete;

  // Listens at `path`; a socket left there by an earlier run is replaced, any other file is not. False,
  // with the reason in `why`, when it cannot listen there or listens already.
  bool Start(const std::string& path, Handler handler, std::string& why);
  // Ends the client being served, waits for the command under way and the thread, and removes the
  // path. Nothing happens when it does not listen. Not from the serving thread, which cannot wait for itself.
  void Stop();
  // True on the thread that serves the clients, where the handler runs.
  bool OnServingThread() const;

 private:
  void Run();
  // Serves one client until it goes, is given up, or until Stop.
  void Serve(int client);
  // False when Stop came first, or the client went or was given up.
  bool SendAll(int client, const std::string& text);
  // Waits until the client is ready for `events`; false when Stop came first, or when the client was
  // idle for the limit and another client waits.
  bool WaitForClient(int client, short events);
  // Waits until `fd` is ready for `events`; false when Stop came first.
  bool WaitFor(int fd, short events);
  // Waits `milliseconds`; false when Stop came first.
  bool PauseUnlessStopped(int milliseconds);

  const std::chrono::milliseconds m_idleLimit;
  mutable std::mutex m_mutex;  // guards m_thread against the reads of OnServingThread
  std::thread m_thread;
  Handler m_handler;
  std::string m_path;
  int m_listener = -1;
  int m_wakeRead = -1;  // readable once Stop has been asked for
  int m_wakeWrite = -1;
};

}  // namespace simtsp

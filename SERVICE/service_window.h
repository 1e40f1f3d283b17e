// CServiceWindow: the service program's one central object and the process-wide state it drives.
#pragma once

#include <atomic>

#include "call_table.h"
#include "line_framer.h"
#include "line_object.h"
#include "plat/service.h"
#include "plat/shell.h"
#include "plat/sync.h"
#include "plat/types.h"
#include "plat/window.h"
#include "plat/winsock.h"
#include "tapi.h"

// The program's own window messages.
constexpr plat::UINT WM_MESSAGE_SHELL_ICON = 0x469;
constexpr plat::UINT WM_MESSAGE_SOCKET = 0x46A;
constexpr plat::UINT WM_MESSAGE_SERVICE = 0x46D;
constexpr plat::UINT WM_MESSAGE_LINE_EVENT = 0x47C;
// A creating request failed: the request in wParam, the result in lParam (OnCreationFailed).
constexpr plat::UINT WM_MESSAGE_CREATION_FAILED = 0x47D;

// The items of the notification icon's menu.
constexpr plat::UINT ID_MENU_SETTINGS = 32776;
constexpr plat::UINT ID_MENU_CONTINUE = 32777;
constexpr plat::UINT ID_MENU_STOP = 32778;
constexpr plat::UINT ID_MENU_END = 32779;

// Resource identifiers of the program.
constexpr plat::UINT IDI_SERVICE_RUNNING = 130;
constexpr plat::UINT IDI_SERVICE_PAUSED = 131;
constexpr plat::UINT IDR_ICON_MENU = 129;

// CServiceWindow's members come in sections; each section's header names the sources that define them.
class CServiceWindow {
 public:
  CServiceWindow();
  virtual ~CServiceWindow();
  CServiceWindow(const CServiceWindow&) = delete;
  CServiceWindow& operator=(const CServiceWindow&) = delete;

  // ---- start, loop and shutdown (service_window.cpp; RegisterResources: resources.cpp) --------------
  // The message loop of the main thread; the exit value of the quit message.
  int Loop();
  void InitializeVariable();
  void PrepareWindow();
  // Hands the program's resources (the icon menu) to the layer, which has no resource section to read.
  static void RegisterResources();
  // Binds the provider and starts the listener; ends the process when the provider cannot be prepared.
  void StartSystem();
  // (value / 100) sleeps of value / 100 milliseconds.
  void Wait(plat::DWORD value);
  void ShutdownTapi();

  // ---- window procedure, icon and menu (window_proc.cpp) --------------------------------------------
  static plat::LRESULT WindowProc(plat::HWND window, plat::UINT message, plat::WPARAM wParam,
                                  plat::LPARAM lParam);
  void DispatchServiceMessages(plat::DWORD state);
  // A socket notification: the event in the low 16 bits of lParam, its error in the high 16 bits.
  plat::LRESULT DispatchSocketMessage(plat::SOCKET socket, plat::LPARAM lParam);
  void CompleteStartStatus(bool running);
  void DispatchMenuMessages(plat::WPARAM command);
  void DispatchIconMessages(plat::LPARAM mouse);
  static plat::DWORD IconThread(plat::LPVOID);

  // ---- service control (service_control.cpp; the instance count: instance_count.cpp) ----------------
  // Run through the control handler.
  virtual void OnStop();
  virtual void OnPause();
  virtual void OnContinue();
  virtual void OnShutdown();
  virtual void OnInterrogate();

  // Creates the dispatcher thread, handing it the place of m_hServiceThread, and stores its handle
  // there before the thread can read it; the handle, null when the thread cannot be created.
  static plat::HANDLE CreateServiceThread();
  static plat::DWORD StartCTIService(plat::LPVOID handlePlace);
  static void ServiceMain(plat::DWORD argc, plat::LPSTR* argv);
  static void Handler(plat::DWORD control);
  static void SetStatus(plat::DWORD state);
  static void SetError(plat::DWORD code);
  // The application-mode instance rule as one step across processes: false when another process of
  // the program counted itself in, else counts this one in.
  static bool TryEnterInstance();
  // A stop request of the service manager lets one more application-mode start in.
  static void ResetInstanceCount();

  // ---- the listener and the one client (transport.cpp) ----------------------------------------------
  plat::BOOL StartTcpIp();
  int WinsockInitialize();
  int SocketInitialize();
  int SourceInitialize();
  void NewConnection();
  void ReceiveData();
  void StopTcpIp();
  // One protocol line, formatted, ended with CR LF and sent whole to the client; from any thread.
  static void SendBack(const char* format, ...) __attribute__((format(printf, 1, 2)));
  // Sets or closes the client socket under the send lock, so no sender uses a socket closed meanwhile.
  static void ReplaceClientSocket(plat::SOCKET socket);
  static void CloseClientSocket();
  // recv on the client socket under the send lock, so a provider thread cannot close it meanwhile.
  static int ReceiveFromClient(char* buffer, int length, int flags);

  static plat::SOCKET m_Sock;
  // Replaced and closed only under m_csSend; atomic, as the main thread reads it without the lock.
  static std::atomic<plat::SOCKET> m_ClientSock;
  static plat::sockaddr_in m_SockAddr;
  static plat::BOOL m_bWinsockStarted;
  // The client's line not yet ended; a new client starts it afresh.
  static LineFramer m_LineFramer;
  static char m_szSendBuffer[2048];

  // ---- reply and structure lines (reply_lines.cpp) --------------------------------------------------
  static void SendLineReply(plat::DWORD request, plat::LONG result);
  static void SendLineReplyText(const char* request, plat::LONG result);
  static plat::LONG SendDevCaps(CLineObject* line, const char* request);
  static plat::LONG SendAddressCaps(CLineObject* line, const char* request);
  static plat::LONG SendAddressStatus(CLineObject* line, plat::DWORD addressId, plat::DWORD states,
                                      bool sendEvent);
  static void SendLineDevStatus(CLineObject* line, plat::DWORD states, plat::DWORD_PTR param2,
                                plat::DWORD_PTR param3, bool sendEvent);

  // ---- call status and call information lines (call_lines.cpp) --------------------------------------
  // `state` 0 is a refresh: sent only for a call above IDLE, followed by LINE_CALLINFO instead of
  // LINE_CALLSTATE.
  static void SendCallStatus(CLineObject* line, int position, plat::DWORD state, plat::DWORD mode,
                             plat::DWORD third);
  static plat::DWORD GetClearedCallFeatures(plat::DWORD state, plat::DWORD features);
  static void RefreshCallStatusWithSameCallId(CLineObject* line, int position, plat::DWORD callId);
  static void SendCallInfo(CLineObject* line, int position, plat::DWORD requested);
  static void SendNewCall(CLineObject* line, int position);

  // ---- command dispatch (dispatch.cpp; the handlers: line_commands.cpp, call_commands.cpp) ----------
  static void DispatchData(const char* line);
  // Kept for a protocol the service does not speak: it logs its name and does nothing else.
  static void DispatchDataCSTA(const char* argument);
  // Reads `count` blank-separated fields of at most widths[i] characters; quotes go from all but the
  // first. A first token of 255 characters or more leaves every field empty.
  // With `overflowEmpties` a token longer than its field empties it and all later fields instead.
  static void ReadFields(const char* line, char (*fields)[256], const size_t* widths, int count,
                         bool overflowEmpties);
  // A signed decimal number, clamped to 32 bits; no leading digits give 0.
  static plat::LONG ReadNumber(const char* field);

  // ---- provider binding (provider_binding.cpp) ------------------------------------------------------
  void LoadTapiLibrary();
  plat::BOOL PrepareTapiInfos();
  void ProviderInit();
  static CLineObject* CreateInsertLineObject(plat::DWORD dwDeviceID);
  static void CloseAllLines();
  // Returns the line to not opened and forgets its calls, as one step against the provider's thread.
  static void ResetLine(CLineObject* line);

  // ---- the provider's callbacks (provider_events.cpp) -----------------------------------------------
  static void LineEventFunction(HTAPILINE htLine, HTAPICALL htCall, plat::DWORD dwMsg,
                                plat::DWORD_PTR dwParam1, plat::DWORD_PTR dwParam2, plat::DWORD_PTR dwParam3);
  static void PhoneEventFunction(HTAPIPHONE htPhone, plat::DWORD dwMsg, plat::DWORD_PTR dwParam1,
                                 plat::DWORD_PTR dwParam2, plat::DWORD_PTR dwParam3);
  static void AsyncCompletion(DRV_REQUESTID dwRequestID, plat::LONG lResult);
  static plat::LONG UICallback(plat::DWORD_PTR dwObjectID, plat::DWORD dwObjectType, plat::LPVOID lpParams,
                               plat::DWORD dwSize);
  // One posted event on the main thread; nested ones (inside a provider call) are posted again.
  static void LineEventFunction2(plat::DWORD dwSequence, HTAPILINE htLine, HTAPICALL htCall,
                                 plat::DWORD dwMsg, plat::DWORD_PTR dwParam1, plat::DWORD_PTR dwParam2,
                                 plat::DWORD_PTR dwParam3);
  // On the main thread, after the completion callback saw a creating request fail: frees its calls
  // (FreeFailedCreations). Inside a provider call it is posted again, as events are.
  static void OnCreationFailed(plat::DWORD dwRequestID, plat::LONG lResult);

  // ---- process-wide state (service_window.cpp; the service status: service_control.cpp) -------------
  static CServiceWindow* m_pThis;
  static plat::DWORD m_dwPortNumber;
  static char m_szDriver[plat::MAX_PATH];
  static plat::HWND m_hWnd;
  static plat::NOTIFYICONDATAA m_NotifyIconData;
  static plat::HICON m_hIconRunning;
  static plat::HICON m_hIconPaused;
  static plat::HMENU m_hMainMenu;
  static plat::HMENU m_hPopupMenu;
  // The icon thread's identifier, which is also its run flag.
  static std::atomic<plat::DWORD> m_dwIconThreadId;
  // Closed either by the icon thread itself or by the destructor: whichever takes it by exchange.
  static std::atomic<plat::HANDLE> m_hIconThread;
  static plat::SERVICE_STATUS m_ServiceStatus;
  static plat::SERVICE_STATUS_HANDLE m_hServiceStatus;
  static bool m_bService;
  static std::atomic<bool> m_bServiceRunning;
  // Held while the reported status is changed and reported, from any of the three threads.
  static plat::CRITICAL_SECTION m_csServiceStatus;
  // Stored under the handover lock of CreateServiceThread, which the thread takes before it reads it.
  static plat::HANDLE m_hServiceThread;

  // ---- call table and handle counters (call_table.cpp) ----------------------------------------------
  // The position of the call's entry (an existing one for a known provider handle), -1 when the table
  // is full or the provider handle is 0.
  static int InsertCall(CLineObject* pLine, plat::DWORD DrvBaseCall, plat::DWORD DrvClientCall,
                        plat::DWORD TapiCall, plat::DWORD ClientTapiCall, plat::DWORD dwOrigin);
  static void RemoveDrvBaseCall(plat::DWORD DrvBaseCall);
  static void RemoveTapiCall(plat::DWORD TapiCall);
  // Positions of the first used entry whose field equals the key, else -1.
  static int GetPosFromTapiCall(plat::DWORD TapiCall);
  static int GetPosFromDrvClientCall(plat::DWORD DrvClientCall);
  static int GetPosFromDrvBaseCall(plat::DWORD DrvBaseCall);
  // A new service call handle: 4, 8, ... 0x7FFC, then 4 again, past every handle a call in the table
  // still has.
  static plat::DWORD IncrementTapiCall();
  // The handle the next IncrementTapiCall gives, without drawing it.
  static plat::DWORD PeekTapiCall();
  // A new client number for a call the provider announces: from 0x8004 on in steps of 4 within 16
  // bits, never 0 nor a number a call in the table still has.
  static plat::DWORD IncrementDrvCall();
  // The number the next IncrementDrvCall gives, without drawing it.
  static plat::DWORD PeekDrvCall();
  // Enters a call that the provider announced (LINE_NEWCALL) under the next client number and the next
  // service call handle, which the provider has been given, then advances both counters past them.
  // Under m_csTapiCall from the handover on. The position of the entry, -1 when none was made.
  static int InsertAnnouncedCall(CLineObject* pLine, plat::DWORD DrvBaseCall);
  // A new service line handle: steps of 4 within 32 bits, never 0 nor the handle of a line in the list.
  static plat::DWORD IncrementHtLine();
  // Clears the entries of the calls on `line`: a closed or removed line keeps no calls.
  static void ClearCallsOfLine(const CLineObject* line);

  // A creating request between its provider call and the entering of its calls. Its completion comes
  // on the provider's thread and may come first, so it is kept until EndCreation. Main thread only.
  static void BeginCreation(plat::DWORD request);
  static void EndCreation();
  // InsertCall for a call of the creation under way (TapiCall also as ClientTapiCall); enters nothing
  // when the creation's completion has already failed.
  static int InsertCreatedCall(CLineObject* pLine, plat::DWORD DrvBaseCall, plat::DWORD DrvClientCall,
                               plat::DWORD TapiCall, plat::DWORD dwOrigin);
  // The completion of `request`, on the provider's thread. A success keeps the calls the request
  // entered; true when it failed and entered calls that FreeFailedCreations has to free.
  static bool SettleCreation(plat::DWORD request, plat::LONG result);
  // On the main thread, which alone frees entries (call_table.h): frees the calls of failed creating
  // requests, except those announced meanwhile (a provider that reported their states made them).
  static void FreeFailedCreations();

  static CallRecord CallTable[kCallTableSize];
  static plat::DWORD m_dwNextTapiCall;
  static plat::DWORD m_dwNextDrvCall;
  static plat::DWORD m_dwNextHtLine;

  // ---- structure buffer and structure text (struct_text.cpp) ----------------------------------------
  static constexpr plat::DWORD kStructBufferSize = 16384;
  // Clears the structure buffer and sets its dwTotalSize, ready for one provider query.
  static void* PrepareStructBuffer();
  // The variable part of a structure as ANSI text (UTF-16 when its second byte is 0), in a buffer the
  // next call overwrites. Offsets and sizes the provider wrote are kept inside the structure buffer.
  static char* GetStructText(const void* structure, plat::DWORD offset, plat::DWORD size);
  // The destination of forward entry `index` of the list at `listOffset`.
  static char* GetStructForward(const void* structure, plat::DWORD index, plat::DWORD listOffset);

  alignas(8) static unsigned char m_StructBuffer[kStructBufferSize];
  // One more than the 4096 characters of the text: the bounded copy writes a second terminator.
  static char m_szStructText[4096 + 1];
  static char m_szStructForward[1024];

  // ---- locks and the line list (service_window.cpp) -------------------------------------------------
  // The line objects and the handling of one provider event; taken before m_csSend.
  static plat::CRITICAL_SECTION m_csLineList;
  // The call table, its counters and what the provider's thread reads of the line list, by the rule
  // in call_table.h; no other lock of the service is taken under it.
  static plat::CRITICAL_SECTION m_csTapiCall;
  // One line sent to the client; always the innermost lock.
  static plat::CRITICAL_SECTION m_csSend;
  static CLineObject* m_pLineRoot;
};

// The low 32 bits of a pointer, as the log lines print objects.
inline unsigned Pointer32(const void* pointer) {
  return static_cast<unsigned>(reinterpret_cast<plat::DWORD_PTR>(pointer));
}

// One provider event on its way from the provider's thread to the main thread.
struct PIPE_LINE_EVENT {
  HTAPILINE htLine;
  HTAPICALL htCall;
  plat::DWORD dwMsg;
  plat::DWORD_PTR dwParam1;
  plat::DWORD_PTR dwParam2;
  plat::DWORD_PTR dwParam3;
  plat::DWORD dwSequence;
};

// Set while the main thread is inside the provider's lineOpen or lineClose, or handles an event; an
// event that arrives meanwhile is posted again. Main thread only.
extern plat::BOOL g_bInProviderCall;
// Set while SendNewCall waits for the provider's call information; main thread only.
extern plat::BOOL g_bInSendNewCall;

// The switches of the settings file.
extern plat::BOOL g_bFeatureOrigin;
extern plat::BOOL g_bFeatureFilterFeatures;
extern plat::BOOL g_bFeatureRefreshStatus;

// The container side of one embedded web browser control: the client site,
// in-place site and in-place frame the control talks to while it lives in a
// host window. One site per host window; the window owns one reference.
#pragma once

#include <windows.h>
#include <ole2.h>

class BrowserSite : public IOleClientSite, public IOleInPlaceSite, public IOleInPlaceFrame {
 public:
  // A new site for the host window with one reference; null when out of memory.
  static BrowserSite* create(HWND host);

  // Creates the browser control, activates it in place over the host
  // window's client area and asks it for url. False when the control could
  // not be created or activated; the host window then stays empty.
  bool open(const wchar_t* url);
  // Fits the control to a client area of width x height pixels.
  void resize(int width, int height);
  // Deactivates and releases the control; the site itself lives on until its
  // last reference goes.
  void close();

  // IUnknown
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  // IOleClientSite
  STDMETHODIMP SaveObject() override;
  STDMETHODIMP GetMoniker(DWORD assign, DWORD which, IMoniker** out) override;
  STDMETHODIMP GetContainer(IOleContainer** out) override;
  STDMETHODIMP ShowObject() override;
  STDMETHODIMP OnShowWindow(BOOL show) override;
  STDMETHODIMP RequestNewObjectLayout() override;

  // IOleWindow (through both IOleInPlaceSite and IOleInPlaceFrame)
  STDMETHODIMP GetWindow(HWND* out) override;
  STDMETHODIMP ContextSensitiveHelp(BOOL enter) override;

  // IOleInPlaceSite
  STDMETHODIMP CanInPlaceActivate() override;
  STDMETHODIMP OnInPlaceActivate() override;
  STDMETHODIMP OnUIActivate() override;
  STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame,
                                IOleInPlaceUIWindow** document,
                                LPRECT position,
                                LPRECT clip,
                                LPOLEINPLACEFRAMEINFO frameInfo) override;
  STDMETHODIMP Scroll(SIZE extent) override;
  STDMETHODIMP OnUIDeactivate(BOOL undoable) override;
  STDMETHODIMP OnInPlaceDeactivate() override;
  STDMETHODIMP DiscardUndoState() override;
  STDMETHODIMP DeactivateAndUndo() override;
  STDMETHODIMP OnPosRectChange(LPCRECT position) override;

  // IOleInPlaceUIWindow
  STDMETHODIMP GetBorder(LPRECT border) override;
  STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS widths) override;
  STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS widths) override;
  STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject* object, LPCOLESTR name) override;

  // IOleInPlaceFrame
  STDMETHODIMP InsertMenus(HMENU menu, LPOLEMENUGROUPWIDTHS widths) override;
  STDMETHODIMP SetMenu(HMENU shared, HOLEMENU descriptor, HWND activeObject) override;
  STDMETHODIMP RemoveMenus(HMENU menu) override;
  STDMETHODIMP SetStatusText(LPCOLESTR text) override;
  STDMETHODIMP EnableModeless(BOOL enable) override;
  STDMETHODIMP TranslateAccelerator(LPMSG message, WORD id) override;

 private:
  explicit BrowserSite(HWND host) : m_host(host) {}
  ~BrowserSite() = default;
  BrowserSite(const BrowserSite&) = delete;
  BrowserSite& operator=(const BrowserSite&) = delete;

  bool navigate(const wchar_t* url);

  LONG m_references = 1;
  HWND m_host;
  IOleObject* m_control = nullptr;
  bool m_oleStarted = false;
};

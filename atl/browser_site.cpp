#include "atl/browser_site.h"

#include <exdisp.h>

#include <new>

namespace {

// IsEqualIID would call the C runtime's memcmp, which this library does not link.
bool sameIid(REFIID a, REFIID b) {
  const DWORD* x = reinterpret_cast<const DWORD*>(&a);
  const DWORD* y = reinterpret_cast<const DWORD*>(&b);
  return x[0] == y[0] && x[1] == y[1] && x[2] == y[2] && x[3] == y[3];
}

}  // namespace

BrowserSite* BrowserSite::create(HWND host) {
  // The library links no C++ runtime: the site lives on the process heap and
  // Release gives it back there.
  void* memory = HeapAlloc(GetProcessHeap(), 0, sizeof(BrowserSite));
  return memory ? new (memory) BrowserSite(host) : nullptr;
}

bool BrowserSite::open(const wchar_t* url) {
  // The browser control needs OLE (drag and drop, clipboard) on this thread,
  // not only COM; each site starts it and close() stops it again.
  HRESULT started = OleInitialize(nullptr);
  m_oleStarted = SUCCEEDED(started);
  if (FAILED(CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                              reinterpret_cast<void**>(&m_control)))) {
    m_control = nullptr;
    return false;
  }
  RECT area;
  GetClientRect(m_host, &area);
  if (FAILED(m_control->SetClientSite(this)) ||
      FAILED(m_control->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, this, 0, m_host, &area)))
    return false;
  return navigate(url);
}

bool BrowserSite::navigate(const wchar_t* url) {
  // IWebBrowser2 came with Internet Explorer 4; NT 4.0 may still have the
  // first browser control, whose interface holds Navigate too.
  IWebBrowser* browser = nullptr;
  if (FAILED(m_control->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(&browser))) &&
      FAILED(m_control->QueryInterface(IID_IWebBrowser, reinterpret_cast<void**>(&browser))))
    return false;
  BSTR address = SysAllocString(url);
  VARIANT none;
  VariantInit(&none);
  HRESULT result = address ? browser->Navigate(address, &none, &none, &none, &none) : E_OUTOFMEMORY;
  SysFreeString(address);
  browser->Release();
  return SUCCEEDED(result);
}

void BrowserSite::resize(int width, int height) {
  if (!m_control)
    return;
  IOleInPlaceObject* inPlace = nullptr;
  if (FAILED(m_control->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlace))))
    return;
  RECT area = {0, 0, width, height};
  inPlace->SetObjectRects(&area, &area);
  inPlace->Release();
}

void BrowserSite::close() {
  if (m_control) {
    IOleInPlaceObject* inPlace = nullptr;
    if (SUCCEEDED(
            m_control->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlace)))) {
      inPlace->InPlaceDeactivate();
      inPlace->Release();
    }
    m_control->Close(OLECLOSE_NOSAVE);
    m_control->SetClientSite(nullptr);
    m_control->Release();
    m_control = nullptr;
  }
  if (m_oleStarted) {
    OleUninitialize();
    m_oleStarted = false;
  }
}

// IUnknown

STDMETHODIMP BrowserSite::QueryInterface(REFIID iid, void** out) {
  if (!out)
    return E_POINTER;
  if (sameIid(iid, IID_IUnknown) || sameIid(iid, IID_IOleClientSite))
    *out = static_cast<IOleClientSite*>(this);
  else if (sameIid(iid, IID_IOleWindow) || sameIid(iid, IID_IOleInPlaceSite))
    *out = static_cast<IOleInPlaceSite*>(this);
  else if (sameIid(iid, IID_IOleInPlaceUIWindow) || sameIid(iid, IID_IOleInPlaceFrame))
    *out = static_cast<IOleInPlaceFrame*>(this);
  else {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

STDMETHODIMP_(ULONG) BrowserSite::AddRef() {
  return static_cast<ULONG>(InterlockedIncrement(&m_references));
}

STDMETHODIMP_(ULONG) BrowserSite::Release() {
  LONG left = InterlockedDecrement(&m_references);
  if (left == 0) {
    this->~BrowserSite();
    HeapFree(GetProcessHeap(), 0, this);
  }
  return static_cast<ULONG>(left);
}

// IOleClientSite: the page is never saved and has no container of ours.

STDMETHODIMP BrowserSite::SaveObject() {
  return E_NOTIMPL;
}
STDMETHODIMP BrowserSite::GetMoniker(DWORD, DWORD, IMoniker** out) {
  if (out)
    *out = nullptr;
  return E_NOTIMPL;
}
STDMETHODIMP BrowserSite::GetContainer(IOleContainer** out) {
  if (out)
    *out = nullptr;
  return E_NOINTERFACE;
}
STDMETHODIMP BrowserSite::ShowObject() {
  return S_OK;
}
STDMETHODIMP BrowserSite::OnShowWindow(BOOL) {
  return S_OK;
}
STDMETHODIMP BrowserSite::RequestNewObjectLayout() {
  return E_NOTIMPL;
}

// IOleWindow

STDMETHODIMP BrowserSite::GetWindow(HWND* out) {
  if (!out)
    return E_POINTER;
  *out = m_host;
  return S_OK;
}
STDMETHODIMP BrowserSite::ContextSensitiveHelp(BOOL) {
  return E_NOTIMPL;
}

// IOleInPlaceSite: the control always fills the host window.

STDMETHODIMP BrowserSite::CanInPlaceActivate() {
  return S_OK;
}
STDMETHODIMP BrowserSite::OnInPlaceActivate() {
  return S_OK;
}
STDMETHODIMP BrowserSite::OnUIActivate() {
  return S_OK;
}
STDMETHODIMP BrowserSite::GetWindowContext(IOleInPlaceFrame** frame,
                                           IOleInPlaceUIWindow** document,
                                           LPRECT position,
                                           LPRECT clip,
                                           LPOLEINPLACEFRAMEINFO frameInfo) {
  if (!frame || !document || !position || !clip || !frameInfo)
    return E_POINTER;
  *frame = this;
  AddRef();
  *document = nullptr;
  GetClientRect(m_host, position);
  *clip = *position;
  // The host window stands in for the frame: it has no menu or accelerators
  // for the control to merge with.
  frameInfo->fMDIApp = FALSE;
  frameInfo->hwndFrame = m_host;
  frameInfo->haccel = nullptr;
  frameInfo->cAccelEntries = 0;
  return S_OK;
}
STDMETHODIMP BrowserSite::Scroll(SIZE) {
  return E_NOTIMPL;
}
STDMETHODIMP BrowserSite::OnUIDeactivate(BOOL) {
  return S_OK;
}
STDMETHODIMP BrowserSite::OnInPlaceDeactivate() {
  return S_OK;
}
STDMETHODIMP BrowserSite::DiscardUndoState() {
  return E_NOTIMPL;
}
STDMETHODIMP BrowserSite::DeactivateAndUndo() {
  return E_NOTIMPL;
}
STDMETHODIMP BrowserSite::OnPosRectChange(LPCRECT position) {
  if (position)
    resize(position->right - position->left, position->bottom - position->top);
  return S_OK;
}

// IOleInPlaceUIWindow and IOleInPlaceFrame: no toolbars, menus or status
// line to share with the page.

STDMETHODIMP BrowserSite::GetBorder(LPRECT) {
  return INPLACE_E_NOTOOLSPACE;
}
STDMETHODIMP BrowserSite::RequestBorderSpace(LPCBORDERWIDTHS) {
  return INPLACE_E_NOTOOLSPACE;
}
STDMETHODIMP BrowserSite::SetBorderSpace(LPCBORDERWIDTHS widths) {
  return widths ? OLE_E_INVALIDRECT : S_OK;  // null: the page wants no tool space
}
STDMETHODIMP BrowserSite::SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) {
  return S_OK;
}
STDMETHODIMP BrowserSite::InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) {
  return E_NOTIMPL;
}
STDMETHODIMP BrowserSite::SetMenu(HMENU, HOLEMENU, HWND) {
  return S_OK;
}
STDMETHODIMP BrowserSite::RemoveMenus(HMENU) {
  return E_NOTIMPL;
}
STDMETHODIMP BrowserSite::SetStatusText(LPCOLESTR) {
  return S_OK;
}
STDMETHODIMP BrowserSite::EnableModeless(BOOL) {
  return S_OK;
}
STDMETHODIMP BrowserSite::TranslateAccelerator(LPMSG, WORD) {
  return S_FALSE;
}

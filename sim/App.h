// The simulated reader's state: open documents, chrome, add-ins and event sinks.
#pragma once

#include <functional>
#include <map>

#include "Model.h"
#include "SimCore.h"

namespace qxsim {

struct BarData;

struct ControlData {
    long id = 0;
    long type = 1;  // 1 button, 2 field control, 3 popup
    std::wstring caption, tag, tipText, text;
    long userData = 0, style = 0, faceId = 0;
    bool enabled = true, visible = true;
    std::vector<std::shared_ptr<ControlData>> children;  // popups only
};

struct BarData {
    std::wstring name;
    bool visible = true, enabled = true;
    std::vector<std::shared_ptr<ControlData>> controls;
};

struct NamedFlag {
    std::wstring name;
    bool visible = true;
};

struct ViewState {
    long currentPage = 1;
    double zoom = 100;
    long zoomType = 0, layout = 0, rotation = 0, cursor = 0;
    bool fullScreen = false;
    double scrollX = 0, scrollY = 0;
};

struct FinderState {
    std::wstring text;
    bool matchCase = false;
    long direction = 1;
    long page = 0;        // page of the last search (1-based), 0 none
    long position = -1;   // start of the last hit on that page
    bool hasHit = false;
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};

struct WatermarkAttrs {
    long color = 0, rotation = 0, underlay = 0;
    double fontSize = 0, opacity = 1;
    std::wstring text, image;
};

struct SelectionState {
    long startPage = -1, endPage = -1;
    double sx = 0, sy = 0, ex = 0, ey = 0;
};

struct DocEntry {
    std::shared_ptr<DocData> data;
    ViewState view;
    FinderState finder;
    WatermarkAttrs watermark;
    SelectionState selection;
};

struct AddInEntry {
    std::wstring progId;
    IDispatch* object = nullptr;           // owned reference
    IQxExtensibility* extension = nullptr;  // owned reference when loaded through COM
    IUnknown* standIn = nullptr;            // owned reference to the stand-in controls
};

struct AppState {
    std::vector<std::shared_ptr<DocEntry>> docs;
    long active = -1;

    std::vector<std::shared_ptr<BarData>> bars;
    std::vector<std::shared_ptr<NamedFlag>> panes, tabBars;
    bool stateBar1 = true, stateBar2 = true;

    long languageId = 0x804;
    bool startPage = false, tabBar = true, sidePanes = true;
    std::wstring userName, appDirectory = L"C:\\Program Files\\Quirex", printConfig;
    bool hidden = false, copyEnabled = true, fullSize = false;
    long saveAllowed = 1, printRight = 1;
    std::wstring fileName;
    std::vector<std::wstring> hideKeywords;
    std::vector<std::wstring> tools;
    long currentTool = 0;
    std::map<long, std::string> cursors;
    long nextCursor = 1;
    long pendingCursor = 0;
    long nextFaceId = 10000;
    long nextControlId = 60000;

    std::wstring lastOpenError;  // why the last document that failed to open failed
    std::wstring lastSaveError;  // why the last SaveAs / SaveCopyAs failed

    std::vector<AddInEntry> addIns;
    std::map<DWORD, IDispatch*> sinks;
    DWORD nextCookie = 1;
};

AppState& App();
void ResetApp();
void ResetChrome();

std::shared_ptr<DocEntry> ActiveEntry();
// Opens (or re-activates) the fixture or PDF at path; null on failure (reason in lastOpenError).
std::shared_ptr<DocEntry> OpenDocument(const std::wstring& path, const std::wstring& password = L"");
void CloseDocument(long index);

// Raises an application event to every advised sink; args in parameter order.
// Returns the first failing Invoke HRESULT, else S_OK.
HRESULT RaiseEvent(DISPID id, std::vector<VARIANT>& args);
// The same with DISPPARAMS as given: rgvarg order, named DISPIDs for the first ones.
HRESULT RaiseEventRaw(DISPID id, std::vector<VARIANT>& rgvarg, std::vector<DISPID> named);
void RaiseDocumentEvent(DISPID id, const std::shared_ptr<DocEntry>& entry);

// Object factories (each returns a new reference).
IQxApplication* TheApplication();
IQxDocument* MakeDocument(const std::shared_ptr<DocEntry>& e);
IQxAnnotation* MakeAnnotation(const std::shared_ptr<DocEntry>& e, const std::shared_ptr<AnnotData>& a);
IQxPageView* MakePageView(const std::shared_ptr<DocEntry>& e);
IDispatch* MakePropertyBag(const std::vector<std::pair<std::wstring, VARIANT>>& props);
HRESULT PropertyBagGet(IDispatch* bag, const wchar_t* name, VARIANT* out);

// Stand-ins and captures.
IUnknown* MakeStandIn(const std::wstring& progId, IDispatch** object);
bool IsSiblingProgId(const std::wstring& progId);
extern const wchar_t* const kSiblingProgIds[6];
long CaptureImports(const std::wstring& moduleName);
void QueueAnswer(const std::wstring& function, const VARIANT& answer, bool sticky);
// The next answer the test gave for function (the caller clears it); false when none.
bool TakeAnswer(const wchar_t* function, VARIANT* out);

// The signing-key device stand-in (sim/KeyDevice.cpp).
extern const CLSID CLSID_SimKeyDevice;
IClassFactory* KeyDeviceFactory();
const std::vector<std::wstring>& CapturedLines();
// Texts the module wrote with OutputDebugStringW, in order.
const std::vector<std::wstring>& Traces();
void ClearCaptures();

IQxNetFile* MakeNetFile();
struct HttpReply {
    long status = 0;
    std::string body;
};
// One HTTP request without proxy; false when no reply arrived. extraHeaders
// lines end with CR LF.
bool HttpRequest(const std::wstring& url, const wchar_t* verb, const std::string& body, const std::wstring& contentType,
                 HttpReply* reply, const std::wstring& extraHeaders);
// Downloads url to path over HTTP(S); the HTTP status, or a negative value.
long HttpDownload(const std::wstring& url, const std::wstring& path);

std::wstring TempFileName();

}  // namespace qxsim

// User menus, tool buttons and command enabling. The page's own tools and menu entries
// live in the reader's command bars, marked by UserData so that the click report can
// tell them from the reader's controls; the component keeps no list of them.
#include "FoliumFun.h"

#include <shlwapi.h>

#include <string>
#include <vector>

#include "../bridge/Walks.h"
#include "../support/Base64.h"
#include "../support/win/CodePages.h"

using folium::ComPtr;
using folium::Guarded;
using folium::ScopedVariant;
using folium::TextArg;
using folium::UniqueBstr;
using folium::Walk;

namespace {

constexpr LONG kUserControlMark = static_cast<LONG>(0xF0000000u);
constexpr LONG kControlButton = 1;
constexpr LONG kControlField = 2;
constexpr LONG kControlPopup = 3;
constexpr const wchar_t* kMyTools = L"MyTools";
constexpr const wchar_t* kMenuBar = L"MenuBar";

// The strIndex of the last named AppendMenu: shared by every object in the process.
std::wstring g_strCurrentUserMenu;

ScopedVariant Missing() { return ScopedVariant::Missing(); }

ScopedVariant Text(const std::wstring& s) { return ScopedVariant::Bstr(s.c_str(), static_cast<UINT>(s.size())); }

ScopedVariant IntIndex(LONG i) { return ScopedVariant::I4(i); }

ComPtr<IQxCommandBar> BarByName(IQxCommandBars* bars, const wchar_t* name) {
    ComPtr<IQxCommandBar> bar;
    if (bars) bars->Item(*Text(name).get(), bar.put());
    return bar;
}

ComPtr<IQxControls> ControlsOf(IQxCommandBar* bar) {
    ComPtr<IQxControls> controls;
    if (bar) bar->get_Controls(controls.put());
    return controls;
}

ComPtr<IQxControls> ControlsOf(IQxPopup* popup) {
    ComPtr<IQxControls> controls;
    if (popup) popup->get_Controls(controls.put());
    return controls;
}

ComPtr<IQxControl> ControlByTag(IQxControls* controls, const std::wstring& tag) {
    ComPtr<IQxControl> control;
    if (controls) controls->Item(*Text(tag).get(), control.put());
    return control;
}

ComPtr<IQxControl> ControlAt(IQxControls* controls, LONG index) {
    ComPtr<IQxControl> control;
    if (controls) controls->Item(*IntIndex(index).get(), control.put());
    return control;
}

LONG CountOf(IQxControls* controls) {
    LONG n = 0;
    if (controls) controls->get_Count(&n);
    return n;
}

LONG TypeOf(IQxControl* control) {
    LONG type = 0;
    control->get_Type(&type);
    return type;
}

std::wstring ReadText(HRESULT (STDMETHODCALLTYPE IQxControl::*getter)(BSTR*), IQxControl* control) {
    UniqueBstr b;
    (control->*getter)(b.put());
    return std::wstring(b.c_str(), b.length());
}

// Keys separated by runs of ";"; when no key results the whole text is the only key.
std::vector<std::wstring> SplitKeys(std::wstring_view text) {
    std::vector<std::wstring> keys;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(L';', start);
        if (end == std::wstring_view::npos) end = text.size();
        if (end > start) keys.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
    if (keys.empty()) keys.emplace_back(text);
    return keys;
}

bool EqualsAnyKey(const std::wstring& tag, const std::vector<std::wstring>& keys) {
    for (const auto& key : keys)
        if (CompareStringOrdinal(tag.data(), static_cast<int>(tag.size()), key.data(), static_cast<int>(key.size()),
                                 TRUE) == CSTR_EQUAL)
            return true;
    return false;
}

// A named menu key carries a character other than a digit, "<" or ">".
bool IsNamedMenuKey(std::wstring_view key) {
    for (wchar_t c : key)
        if (!(c >= L'0' && c <= L'9') && c != L'<' && c != L'>') return true;
    return false;
}

// Caption, tag, visibility and the component's mark on a control the component made.
void MarkUserControl(IQxControl* control, BSTR caption, BSTR tag) {
    control->put_Caption(caption);
    control->put_Tag(tag);
    control->put_Visible(VARIANT_TRUE);
    control->put_UserData(kUserControlMark);
}

// AppendTools steps 1 to 4, with the face id already known.
void PutUserTool(IQxApplication* app, BSTR strIndex, BSTR caption, LONG faceId) {
    auto bars = folium::CommandBarsOf(app);
    if (!bars) return;
    auto bar = BarByName(bars.get(), kMyTools);
    if (!bar) {
        bars->Add(*Text(kMyTools).get(), *Missing().get(), bar.put());
    }
    if (!bar) return;
    auto controls = ControlsOf(bar.get());
    if (!controls) return;
    TextArg key(strIndex), text(caption);
    // An existing tool with the same key is updated in place.
    auto control = ControlByTag(controls.get(), std::wstring(key.view()));
    if (!control) controls->Add(*Missing().get(), *Missing().get(), *Missing().get(), control.put());
    if (!control) return;
    control->put_Caption(text.get());
    control->put_Tag(key.get());
    control->put_Style(2);
    control->put_TipText(text.get());
    control->put_FaceId(faceId);
    control->put_Enabled(VARIANT_TRUE);
    control->put_Visible(VARIANT_TRUE);
    control->put_UserData(kUserControlMark);
    bar->Refresh();
}

// ---- command enabling by caption ------------------------------------------------------

// Cuts text before its first "(", or when it has none before its first ".".
// Returns whether a cut was made.
bool CutAtDecoration(std::wstring& text) {
    size_t p = text.find(L'(');
    if (p == std::wstring::npos) p = text.find(L'.');
    if (p == std::wstring::npos) return false;
    text.resize(p);
    return true;
}

// Keeps only what stands before the two characters that precede marker.
void CutBeforeShortcut(std::wstring& text, const wchar_t* marker) {
    size_t p = text.find(marker);
    if (p != std::wstring::npos) text.resize(p >= 2 ? p - 2 : 0);
}

void DropLeadingAmpersand(std::wstring& text) {
    if (!text.empty() && text.front() == L'&') text.erase(0, 1);
}

bool Contains(const std::wstring& matchText, const std::wstring& part) {
    return matchText.find(part) != std::wstring::npos;
}

bool Wrapped(const std::wstring& matchText, const std::wstring& name) {
    return Contains(matchText, L";" + name + L";");
}

// The caption of a reader button as the page names it: "&Open(O)...\tCtrl+O" is "Open".
std::wstring NormaliseButtonCaption(std::wstring caption) {
    CutAtDecoration(caption);
    CutBeforeShortcut(caption, L"Ctrl+");
    CutBeforeShortcut(caption, L"F9");
    DropLeadingAmpersand(caption);
    if (!caption.empty() && caption.back() == L' ') caption.pop_back();
    return caption;
}

// What is done to a matching control: nothing, SetEnabled or SetVisible with value.
struct CommandAction {
    enum Kind { None, Enable, Show } kind = None;
    VARIANT_BOOL value = VARIANT_FALSE;
};

template <class Interface>
void Apply(IQxControl* control, const IID& iid, const CommandAction& action) {
    ComPtr<Interface> part;
    if (FAILED(control->QueryInterface(iid, part.put_void())) || !part) return;
    if (action.kind == CommandAction::Enable) part->SetEnabled(action.value);
    if (action.kind == CommandAction::Show) part->SetVisible(action.value);
}

// Where a field control's name comes from: its text box or its tag.
enum class FieldName { Text, Tag };

// Walks every top-level control of every bar and applies action to those the list names.
void ApplyToNamedCommands(IQxCommandBars* bars, BSTR list, FieldName fieldName, const CommandAction& action) {
    std::wstring matchText = L";" + std::wstring(TextArg(list).view());
    if (matchText.back() != L';' || matchText.size() == 1) matchText += L";";
    ComPtr<IQxControls> all;
    bars->get_Controls(all.put());
    folium::WalkControls(all.get(), VT_I8, [&](LONG, IQxControl* control) {
        switch (TypeOf(control)) {
            case kControlButton: {
                std::wstring name = NormaliseButtonCaption(ReadText(&IQxControl::get_Caption, control));
                if (Wrapped(matchText, name) || Wrapped(matchText, ReadText(&IQxControl::get_TipText, control)))
                    Apply<IQxButton>(control, IID_IQxButton, action);
                break;
            }
            case kControlField: {
                std::wstring text;
                if (fieldName == FieldName::Tag) {
                    text = ReadText(&IQxControl::get_Tag, control);
                } else if (auto field = ComPtr<IQxControl>(control).Query<IQxFieldControl>()) {
                    UniqueBstr b;
                    field->get_Text(b.put());
                    text.assign(b.c_str(), b.length());
                }
                if (CutAtDecoration(text)) text += L";";
                if (Contains(matchText, text)) Apply<IQxFieldControl>(control, IID_IQxFieldControl, action);
                break;
            }
            case kControlPopup: {
                std::wstring name = ReadText(&IQxControl::get_Caption, control);
                CutAtDecoration(name);
                DropLeadingAmpersand(name);
                if (Wrapped(matchText, name) || Wrapped(matchText, ReadText(&IQxControl::get_TipText, control)))
                    Apply<IQxPopup>(control, IID_IQxPopup, action);
                break;
            }
            default: break;
        }
        return Walk::Continue;
    });
}

}  // namespace

// ---- user tools -------------------------------------------------------------------------

STDMETHODIMP CFoliumFun::AppendTools(BSTR strIndex, BSTR Caption, LONG lIcon) {
    if (!m_spApplication) return S_FALSE;
    return Guarded([&] {
        PutUserTool(m_spApplication.get(), strIndex, Caption, lIcon);
        return S_OK;
    });
}

STDMETHODIMP CFoliumFun::AppendToolsEx(BSTR strIndex, BSTR Caption, BSTR strIcon) {
    if (!m_spApplication) return S_FALSE;
    return Guarded([&] {
        std::string text = folium::NarrowToCodePage(CP_THREAD_ACP, TextArg(strIcon).view());
        std::vector<std::uint8_t> bytes = folium::DecodeBase64(text);
        ScopedVariant image = ScopedVariant::Bytes(bytes.data(), bytes.size());
        LONG faceId = 0;
        ComPtr<IQxImageStore> store;
        m_spApplication->get_ImageStore(store.put());
        if (store) store->Add(*image.get(), StrToIntW(TextArg(strIndex).get()), &faceId);
        PutUserTool(m_spApplication.get(), strIndex, Caption, faceId);
        return S_OK;
    });
}

STDMETHODIMP CFoliumFun::EnableUserTools(BSTR strIndex, VARIANT_BOOL blEnabled) {
    if (!m_spApplication) return S_FALSE;
    return Guarded([&] {
        auto keys = SplitKeys(TextArg(strIndex).view());
        auto bar = BarByName(folium::CommandBarsOf(m_spApplication.get()).get(), kMyTools);
        folium::WalkControls(ControlsOf(bar.get()).get(), VT_I4, [&](LONG, IQxControl* control) {
            if (EqualsAnyKey(ReadText(&IQxControl::get_Tag, control), keys)) {
                control->put_Enabled(blEnabled);
                bar->Refresh();
            }
            return Walk::Continue;
        });
        return S_OK;
    });
}

// ---- user menus -------------------------------------------------------------------------

STDMETHODIMP CFoliumFun::AppendMenu(BSTR strIndex, BSTR strCaption) {
    if (!m_spApplication) return S_FALSE;
    return Guarded([&] {
        TextArg key(strIndex), caption(strCaption);
        std::wstring keyText(key.view());
        auto menuBar = BarByName(folium::CommandBarsOf(m_spApplication.get()).get(), kMenuBar);
        auto controls = ControlsOf(menuBar.get());
        if (IsNamedMenuKey(keyText)) {
            g_strCurrentUserMenu = keyText;
            if (!controls) return S_OK;
            if (!ControlByTag(controls.get(), keyText)) {
                // The page's menus go after the reader's help menu.
                LONG position = 0;
                if (auto help = ControlByTag(controls.get(), L"MenuHelp"))
                    help->get_Index(&position);
                else
                    position = CountOf(controls.get());
                ComPtr<IQxControl> popup;
                controls->Add(*IntIndex(kControlPopup).get(), *IntIndex(position + 1).get(), *Missing().get(),
                              popup.put());
                if (popup) MarkUserControl(popup.get(), key.get(), key.get());
            }
            menuBar->Refresh();
            return S_OK;
        }
        if (!controls) return S_OK;
        auto start = g_strCurrentUserMenu.empty() ? ControlAt(controls.get(), 0)
                                                  : ControlByTag(controls.get(), g_strCurrentUserMenu);
        ComPtr<IQxPopup> deepest = start.Query<IQxPopup>();
        if (!deepest) return S_OK;
        // An open submenu is the last entry of its menu; descend to the innermost one.
        ComPtr<IQxPopup> parent;
        for (;;) {
            auto entries = ControlsOf(deepest.get());
            LONG count = CountOf(entries.get());
            if (count <= 0) break;
            auto last = ControlAt(entries.get(), count - 1);
            if (!last || TypeOf(last.get()) != kControlPopup) break;
            auto submenu = last.Query<IQxPopup>();
            if (!submenu) break;
            parent = deepest;
            deepest = submenu;
        }
        wchar_t lastChar = keyText.empty() ? L'\0' : keyText.back();
        IQxPopup* level = deepest.get();
        LONG type = kControlButton;
        if (lastChar == L'>') type = kControlPopup;
        if (lastChar == L'<' && parent) level = parent.get();
        auto entries = ControlsOf(level);
        ComPtr<IQxControl> made;
        if (entries) entries->Add(*IntIndex(type).get(), *Missing().get(), *Missing().get(), made.put());
        if (made) MarkUserControl(made.get(), caption.get(), key.get());
        menuBar->Refresh();
        return S_OK;
    });
}

STDMETHODIMP CFoliumFun::EnableUserMenus(BSTR strIndex, VARIANT_BOOL blEnabled) {
    if (!m_spApplication) return S_FALSE;
    return Guarded([&] {
        auto keys = SplitKeys(TextArg(strIndex).view());
        auto bars = folium::CommandBarsOf(m_spApplication.get());
        ComPtr<IQxCommandBar> menuBar;
        if (bars) bars->Item(*IntIndex(0).get(), menuBar.put());
        // The whole menu tree on an explicit stack: deep submenus do not grow the thread's stack.
        std::vector<ComPtr<IQxControls>> pending;
        if (auto top = ControlsOf(menuBar.get())) pending.push_back(top);
        while (!pending.empty()) {
            ComPtr<IQxControls> controls = std::move(pending.back());
            pending.pop_back();
            folium::WalkControls(controls.get(), VT_I4, [&](LONG, IQxControl* control) {
                if (EqualsAnyKey(ReadText(&IQxControl::get_Tag, control), keys)) {
                    control->put_Enabled(blEnabled);
                    menuBar->Refresh();
                }
                if (TypeOf(control) == kControlPopup) {
                    if (auto popup = ComPtr<IQxControl>(control).Query<IQxPopup>())
                        if (auto children = ControlsOf(popup.get())) pending.push_back(children);
                }
                return Walk::Continue;
            });
        }
        return S_OK;
    });
}

// ---- the reader's own commands ------------------------------------------------------

STDMETHODIMP CFoliumFun::EnableTools(BSTR sTools, LONG bEnable, LONG* /*lResult: not written*/) {
    if (!m_spApplication) return S_FALSE;
    return Guarded([&] {
        auto bars = folium::CommandBarsOf(m_spApplication.get());
        if (!bars) return S_OK;
        CommandAction action;
        if (bEnable == 0 || bEnable == 1) action = {CommandAction::Enable, bEnable ? VARIANT_TRUE : VARIANT_FALSE};
        if (bEnable == 2) action = {CommandAction::Show, VARIANT_FALSE};
        ApplyToNamedCommands(bars.get(), sTools, FieldName::Text, action);
        // A bar left without a visible control is hidden with it.
        folium::WalkCommandBars(bars.get(), [&](IQxCommandBar* bar, BSTR) {
            auto controls = ControlsOf(bar);
            if (CountOf(controls.get()) <= 0) return Walk::Continue;
            bool anyVisible = false;
            folium::WalkControls(controls.get(), VT_I8, [&](LONG, IQxControl* control) {
                VARIANT_BOOL visible = VARIANT_FALSE;
                control->get_Visible(&visible);
                anyVisible = visible != VARIANT_FALSE;
                return anyVisible ? Walk::Stop : Walk::Continue;
            });
            if (!anyVisible) bar->put_Visible(VARIANT_FALSE);
            return Walk::Continue;
        });
        bars->Refresh();
        return S_OK;
    });
}

STDMETHODIMP CFoliumFun::setCompositeVisible(BSTR strCompName, VARIANT_BOOL bVisible) {
    if (!m_spApplication) return S_FALSE;
    return Guarded([&] {
        auto bars = folium::CommandBarsOf(m_spApplication.get());
        if (!bars) return S_OK;
        ApplyToNamedCommands(bars.get(), strCompName, FieldName::Tag, {CommandAction::Show, bVisible});
        folium::WalkCommandBars(bars.get(), [&](IQxCommandBar* bar, BSTR) {
            bar->Refresh();
            return Walk::Continue;
        });
        bars->Refresh();
        return S_OK;
    });
}

// ---- keywords to hide: the reader keeps the list --------------------------------------

STDMETHODIMP CFoliumFun::AppendHideKeywords(BSTR Keywords, LONG* pVal) {
    if (!pVal) return E_POINTER;
    if (!m_spApplication) return S_FALSE;
    LONG result = 0;
    m_spApplication->AppendHideKeywords(TextArg(Keywords).get(), &result);
    *pVal = result;
    return S_OK;
}

STDMETHODIMP CFoliumFun::EnabledHideKeywords(LONG Ch, VARIANT_BOOL bValue, LONG* pVal) {
    if (!pVal) return E_POINTER;
    if (!m_spApplication) return S_FALSE;
    m_spApplication->EnabledHideKeywords(Ch, bValue, pVal);
    return S_OK;
}

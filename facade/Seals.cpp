// Seals and signatures. Almost every member is one fixed sequence against the
// signature engine (or the OFD signature add-in): check what the member needs, turn
// the script's position mode into the engine's code, put the engine's parameters one
// by one, call one method and take its result. The sequence is written once
// (RunEngineMember); each member is a row of kMembers saying which parameters, which
// method with which arguments and how its result is read. The component's own logic
// around the engine (seal image resolution, the seal count's three sources, output
// flags, converting signatures to images) follows the table.
#include "FoliumFun.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "../bridge/Bridge.h"
#include "../bridge/SealCheck.h"
#include "../bridge/Walks.h"
#include "../support/Base64.h"
#include "../support/win/Image.h"
#include "../support/win/PathText.h"
#include "../support/win/Settings.h"
#include "../addin/Connection.h"
#include "FileHelpers.h"

using folium::ComPtr;
using folium::Guarded;
using folium::InvokeByName;
using folium::ScopedVariant;
using folium::UniqueBstr;
using folium::Walk;

namespace {

const wchar_t kEngine[] = L"Veridane.Folium2015";
const wchar_t kOfdAddIn[] = L"Quirex.OFDSignature";
const wchar_t kAnnotsAddIn[] = L"Quirex.Annots";
const wchar_t kPreSealKey[] = L"VD_PreSeal";
const wchar_t kMissingFileText[] = L"文件不存在！";
const wchar_t kImageCaption[] = L"Folium2018";
constexpr LONG kSignatureFieldKind = 6;
constexpr LONG kEditPermission = 1;

// ---- automation values ---------------------------------------------------------------

// A BSTR argument as the script passed it (embedded NULs kept); null reads as "".
std::wstring_view View(BSTR b) { return b ? std::wstring_view(b, SysStringLen(b)) : std::wstring_view(); }

ScopedVariant Text(std::wstring_view s) { return ScopedVariant::Bstr(s.data(), static_cast<UINT>(s.size())); }
ScopedVariant Long(LONG n) { return ScopedVariant::I4(n); }
ScopedVariant Short(SHORT n) { return ScopedVariant::I2(n); }
ScopedVariant Real(float f) { return ScopedVariant::R4(f); }
ScopedVariant Bool(bool b) { return ScopedVariant::Bool(b); }

// The 32-bit value of an engine's result, read by its type; nothing when it has none.
std::optional<LONG> LongOf(const VARIANT* v) { return folium::ReadI4(v); }

UniqueBstr TextOf(const VARIANT* v) {
    std::optional<UniqueBstr> text = folium::ReadBstr(v);
    return text ? std::move(*text) : UniqueBstr(L"");
}

// A page number or setting as "%d" writes it.
std::wstring Decimal(LONG n) { return std::to_wstring(n); }

std::wstring RangeText(LONG first, LONG last) { return Decimal(first) + L"-" + Decimal(last); }

ComPtr<IDispatch> Sibling(CFoliumFun& self, const wchar_t* progId) {
    ComPtr<IDispatch> target;
    if (!self.Application()) return target;
    UniqueBstr id(progId);
    self.GetSiblingAddIn(id.get(), target.put());
    return target;
}

HRESULT PutProperty(IDispatch* target, const wchar_t* name, ScopedVariant value) {
    return InvokeByName(DISPATCH_PROPERTYPUT, nullptr, target, name, value.get());
}

// Calls a method with its arguments given in call order.
HRESULT CallMethod(IDispatch* target, const wchar_t* name, std::vector<ScopedVariant>& args, VARIANT* result,
                   WORD kind = DISPATCH_METHOD) {
    std::vector<VARIANT*> reversed;
    for (auto it = args.rbegin(); it != args.rend(); ++it) reversed.push_back(it->get());
    reversed.push_back(nullptr);
    return folium::InvokeByNameArray(kind, result, target, name, static_cast<int>(args.size()), reversed.data());
}

// ---- the engine members as data --------------------------------------------------------

// What a member needs before it contacts the engine.
enum class Needs : unsigned char {
    Host,       // the host application only
    Doc,        // an active document
    DocPages,   // an active document and a page range within it
    DocNotOfd,  // an active document that is not an OFD document
    OfdDoc,     // the refreshed active document, an OFD document
};

// How the script's position mode becomes the engine's code.
enum class Modes : unsigned char {
    None,  // the member has no mode
    A,     // "SignaturePosMode" of single and range seals
    B,     // position argument of "SeriesSignature"
    Raw,   // passed untranslated
    Ofd,   // OFD seals: 1 and 2 only
};

// One value the member hands to the engine, with its VARIANT type.
enum class Src : unsigned char {
    None,                                        // end of a list
    Pages, Pass, Position, Area, Image, Text,    // BSTR
    Text2, Text3, Empty,                         // BSTR
    Index, Code, ShowDlg, Kind, Start, Last,     // I4
    CrossMode, CrossType, CrossFirst, CrossLoop, // I4
    Protect, Loop, Zero,                         // I2
    Width, Height,                               // R4
};

struct Param {
    const wchar_t* name;
    Src src;
};

// Where each argument of the member's own call goes, in the member's parameter order.
enum class In : unsigned char {
    None,                                   // end of a list
    Index, Kind, ShowDlg, Mode, First, Last, // LONG
    CrossMode, CrossType, CrossFirst, CrossLoop,
    PageNo,                                 // LONG, handed on as the page text "%d"
    Pages, Pass, Position, Area, Image,     // text
    Text, Text2, Text3,
    Protect, Loop,                          // VARIANT_BOOL
    Width, Height,                          // FLOAT
};

// How the engine's answer becomes the member's result.
enum class Outcome : unsigned char {
    Value,         // the 32-bit value
    OneMeansZero,  // 0 when the engine answers 1, else 1
    ZeroMeansOne,  // 1 when the engine answers 0, else 0
    Text,          // the engine's string
    Nothing,       // the result is not written
};

enum Extra : unsigned {
    kNoExtra = 0,
    kPendingSignData = 1,  // hands over the print watermark style, then empties it
    kClearSelection = 2,   // clears the annotation selection afterwards
    kOneOnceReady = 4,     // result 1 once the checks passed (engine missing or failing)
    kNoInitial = 8,        // the result is not written before the engine answers
    kImagePath = 16,       // the image text names a file or URL: refused with an embedded NUL
};

// The members that run the sequence; each has its row in kMembers.
enum Member {
    kCreateSignature, kCreateSignaturePages, kCreateSignatureByName, kCreateSignatureByImage, kCreateRaycode,
    kCreateBarcode, kSeries, kFastSeries, kFastSignature, kFastByImage, kFastByImageEx, kAddFieldSignature,
    kAddSignatureByDlg, kAddBarcodeAnnot, kShowSignDlg, kShowCheckDlg, kSignatureNames, kSignatureItem,
    kDeleteSignature, kSetSignatureParam, kSaveSignData, kLoadSignData, kGetDocumentID, kGotoSignature,
    kShedCrypto, kLoginPhone, kLogoutPhone, kSetField, kGetField, kClearField, kPreDigital, kHaveSignature,
    kGetSignatureMode, kEngineCount, kOfdCreate, kOfdCrossPage, kOfdDelete, kOfdCount, kOfdInvalidCount,
};

struct EngineMember {
    Member id;
    const wchar_t* progId;
    Needs needs;
    Modes modes;
    Param params[10];  // put in this order
    const wchar_t* method;
    WORD kind;         // DISPATCH_METHOD or DISPATCH_PROPERTYGET
    Src args[8];       // in call order
    Outcome outcome;
    LONG initial;
    unsigned extra;
    In takes[10];      // the member's own arguments
};

// The values a member call brings; each row picks what it hands on.
struct SealArgs {
    std::wstring pages;
    bool pagesGiven = false;  // else the pages are the range first-last
    std::wstring_view pass, position, area, image, text, text2, text3;
    LONG index = 0, mode = 0, first = 0, last = 0, kind = 0, showDlg = 0;
    LONG crossMode = 0, crossType = 0, crossFirst = 0, crossLoop = 0;
    SHORT protect = 0, loop = 0;
    float width = 0, height = 0;
    LONG code = 0;  // the translated mode, set by the sequence
};

#define PAGES {L"SignaturePages", Src::Pages}
#define PIN {L"SignaturePIN", Src::Pass}
#define POSMODE {L"SignaturePosMode", Src::Code}
#define POS {L"SignaturePos", Src::Position}
#define IMAGE_INDEX {L"SignatureImage", Src::Index}
#define IMAGE_TEXT {L"SignatureImage", Src::Image}
#define PROTECT {L"IsProtectDoc", Src::Protect}
constexpr WORD M = DISPATCH_METHOD;
constexpr WORD G = DISPATCH_PROPERTYGET;

constexpr EngineMember kMembers[] = {
    // seal creation
    {kCreateSignature, kEngine, Needs::Doc, Modes::A, {PAGES, IMAGE_INDEX, PIN, POSMODE, POS}, L"CreateSignature", M,
     {Src::Zero}, Outcome::Value, 1, kPendingSignData, {In::Index, In::Pass, In::PageNo, In::Mode, In::Position}},
    {kCreateSignaturePages, kEngine, Needs::Doc, Modes::A, {PAGES, PIN, POSMODE, POS, IMAGE_INDEX}, L"CreateSignature",
     M, {Src::Zero}, Outcome::Value, 1, kNoExtra, {In::Index, In::Pass, In::Pages, In::Mode, In::Position}},
    {kCreateSignatureByName, kEngine, Needs::Doc, Modes::A, {PAGES, PIN, POSMODE, POS, IMAGE_TEXT}, L"CreateSignature",
     M, {Src::Zero}, Outcome::Value, 1, kNoExtra, {In::Image, In::First, In::Last, In::Pass, In::Mode, In::Position}},
    {kCreateSignatureByImage, kEngine, Needs::Doc, Modes::A, {PAGES, PIN, POSMODE, POS, IMAGE_TEXT, PROTECT},
     L"CreateSignature", M, {Src::Zero}, Outcome::Value, 1, kNoExtra,
     {In::Image, In::Pass, In::Protect, In::First, In::Last, In::Mode, In::Position}},
    {kCreateRaycode, kEngine, Needs::Doc, Modes::A, {PAGES, PIN, POSMODE, POS}, L"CreateRaycodeSignature", M, {},
     Outcome::Value, 1, kNoExtra, {In::Pass, In::PageNo, In::Mode, In::Position}},
    {kCreateBarcode, kEngine, Needs::Doc, Modes::A, {PAGES, PIN, POSMODE, POS, {L"ShowBarCodeDlg", Src::ShowDlg}},
     L"CreateBarcodeSignature", M, {Src::Kind, Src::Text}, Outcome::Value, 1, kNoExtra,
     {In::Kind, In::Text, In::ShowDlg, In::Pass, In::First, In::Last, In::Mode, In::Position}},
    {kSeries, kEngine, Needs::DocPages, Modes::B, {}, L"SeriesSignature", M,
     {Src::Start, Src::Last, Src::Index, Src::Pass, Src::Code, Src::Position, Src::Area}, Outcome::OneMeansZero, 1,
     kNoExtra, {In::First, In::Last, In::Index, In::Pass, In::Mode, In::Position, In::Area}},
    {kFastSeries, kEngine, Needs::DocPages, Modes::Raw, {}, L"SeriesSignature", M,
     {Src::Start, Src::Last, Src::Index, Src::Pass, Src::Code, Src::Position, Src::Area}, Outcome::OneMeansZero, 1,
     kNoExtra, {In::First, In::Last, In::Index, In::Pass, In::Mode, In::Position, In::Area}},
    {kFastSignature, kEngine, Needs::Doc, Modes::None, {}, L"FastSignature", M, {Src::Index, Src::Pass, Src::Area},
     Outcome::Value, 1, kNoExtra, {In::Index, In::Pass, In::Area}},
    {kFastByImage, kEngine, Needs::Doc, Modes::None, {PROTECT}, L"FastSignatureByImage", M,
     {Src::Image, Src::Pass, Src::Protect}, Outcome::Value, 1, kImagePath, {In::Image, In::Pass, In::Protect}},
    {kFastByImageEx, kEngine, Needs::Doc, Modes::None, {}, L"FastSignatureByImageEx", M,
     {Src::Image, Src::Pass, Src::Width, Src::Height, Src::Text2, Src::Loop, Src::Text3, Src::Protect}, Outcome::Value,
     1, kImagePath, {In::Image, In::Pass, In::Width, In::Height, In::Text2, In::Loop, In::Text3, In::Protect}},
    {kAddFieldSignature, kEngine, Needs::Doc, Modes::None, {}, L"AddFieldSignature", M, {Src::Text}, Outcome::Value, 0,
     kClearSelection, {In::Text}},
    {kAddSignatureByDlg, kEngine, Needs::DocNotOfd, Modes::None, {}, L"AddSignatureByDlg", M, {Src::Kind},
     Outcome::Value, 0, kOneOnceReady, {In::Kind}},
    {kAddBarcodeAnnot, kEngine, Needs::Host, Modes::None, {}, L"VDAddBarcodeAnnot", M, {Src::Empty}, Outcome::Value, 1,
     kNoExtra, {}},
    // queries, dialogs and engine commands
    {kShowSignDlg, kEngine, Needs::Doc, Modes::None, {}, L"ShowSignDlg", M, {Src::Kind}, Outcome::ZeroMeansOne, 0,
     kNoExtra, {In::Kind}},
    {kShowCheckDlg, kEngine, Needs::Doc, Modes::None, {}, L"ShowSignDlg", M, {Src::Kind}, Outcome::Value, 0, kNoExtra,
     {In::Kind}},
    {kSignatureNames, kEngine, Needs::Host, Modes::None, {}, L"SignatureNames", M, {}, Outcome::Text, 0, kNoExtra, {}},
    {kSignatureItem, kEngine, Needs::Doc, Modes::None, {}, L"SignatureItem", M, {Src::Index}, Outcome::Text, 0,
     kNoExtra, {In::Index}},
    {kDeleteSignature, kEngine, Needs::Doc, Modes::None, {}, L"DeleteSignature", M, {Src::Text}, Outcome::Value, 0,
     kNoExtra, {In::Text}},
    {kSetSignatureParam, kEngine, Needs::Host, Modes::None, {}, L"SetSignatureParam", M,
     {Src::Text, Src::Text2, Src::Text3}, Outcome::Value, 0, kNoInitial, {In::Text, In::Text2, In::Text3}},
    {kSaveSignData, kEngine, Needs::Doc, Modes::None, {}, L"SaveSignDataToLocal", M, {}, Outcome::Text, 0, kNoExtra,
     {}},
    {kLoadSignData, kEngine, Needs::Doc, Modes::None, {}, L"LoadLocalSignData", M, {Src::Text}, Outcome::Value, 1,
     kNoExtra, {In::Text}},
    {kGetDocumentID, kEngine, Needs::Doc, Modes::None, {}, L"GetDocumentID", M, {}, Outcome::Text, 0, kNoExtra, {}},
    {kGotoSignature, kEngine, Needs::Host, Modes::None, {}, L"GotoSignature", M, {Src::Index, Src::Kind},
     Outcome::Value, 1, kNoExtra, {In::Index, In::Kind}},
    {kShedCrypto, kEngine, Needs::Host, Modes::None, {}, L"ShedCryptoDocument", M, {Src::Kind}, Outcome::Value, 1,
     kNoExtra, {In::Kind}},
    {kLoginPhone, kEngine, Needs::Host, Modes::None, {}, L"VDLoginPhone", M, {Src::Empty}, Outcome::Value, 1, kNoExtra,
     {}},
    {kLogoutPhone, kEngine, Needs::Host, Modes::None, {}, L"VDLogoutPhone", M, {Src::Empty}, Outcome::Value, 1,
     kNoExtra, {}},
    {kSetField, kEngine, Needs::Host, Modes::None, {}, L"SetFieldByName", M, {Src::Text, Src::Text2}, Outcome::Nothing,
     0, kNoInitial, {In::Text, In::Text2}},
    {kGetField, kEngine, Needs::Host, Modes::None, {}, L"GetFieldByName", M, {Src::Text}, Outcome::Text, 0, kNoExtra,
     {In::Text}},
    {kClearField, kEngine, Needs::Host, Modes::None, {}, L"ClearFieldByName", M, {}, Outcome::Nothing, 0, kNoInitial,
     {}},
    {kPreDigital, kEngine, Needs::Host, Modes::None, {}, L"SetFieldByName", M, {Src::Text, Src::Text2}, Outcome::Value,
     0, kNoExtra, {In::Text, In::Text2}},
    {kHaveSignature, kEngine, Needs::Host, Modes::None, {}, L"HaveSignature", G, {}, Outcome::Value, 1, kNoExtra, {}},
    {kGetSignatureMode, kEngine, Needs::Host, Modes::None, {}, L"SignatureMode", G, {}, Outcome::Value, 0, kNoInitial,
     {}},
    {kEngineCount, kEngine, Needs::Host, Modes::None, {}, L"SignatureCount", M, {}, Outcome::Value, 0, kNoInitial, {}},
    // OFD documents
    {kOfdCreate, kOfdAddIn, Needs::OfdDoc, Modes::Ofd, {PAGES, IMAGE_INDEX, PIN, POSMODE, POS}, L"CreateSignature", M,
     {}, Outcome::Value, 0, kNoExtra, {In::Index, In::Pass, In::PageNo, In::Mode, In::Position}},
    {kOfdCrossPage, kOfdAddIn, Needs::OfdDoc, Modes::Ofd,
     {IMAGE_INDEX, PIN, POSMODE, POS, {L"CrossPageSignPageMode", Src::CrossMode},
      {L"CrossPageSignType", Src::CrossType}, {L"CrossPageSignFirstPage", Src::CrossFirst},
      {L"CrossPageSignLoopPageSize", Src::CrossLoop}, {L"CrossPageSignPageRatioDesc", Src::Text}},
     L"CreateCrossPageSignature", M, {}, Outcome::Value, 0, kNoExtra,
     {In::Index, In::Pass, In::Mode, In::Position, In::CrossMode, In::CrossType, In::CrossFirst,
      In::CrossLoop, In::Text}},
    {kOfdDelete, kOfdAddIn, Needs::OfdDoc, Modes::None, {}, L"DeleteLastSignature", M, {Src::Text}, Outcome::Value, 0,
     kNoExtra, {In::Text}},
    {kOfdCount, kOfdAddIn, Needs::OfdDoc, Modes::None, {}, L"SignatureCount", M, {}, Outcome::Value, -1, kNoExtra, {}},
    {kOfdInvalidCount, kOfdAddIn, Needs::OfdDoc, Modes::None, {}, L"InvalidSignatureCount", M, {}, Outcome::Value, -1,
     kNoExtra, {}},
};
constexpr bool RowsInMemberOrder() {
    for (size_t i = 0; i < sizeof(kMembers) / sizeof(kMembers[0]); ++i)
        if (kMembers[i].id != static_cast<Member>(i)) return false;
    return sizeof(kMembers) / sizeof(kMembers[0]) == kOfdInvalidCount + 1;
}
static_assert(RowsInMemberOrder(), "one row per member, in the order of Member");

#undef PAGES
#undef PIN
#undef POSMODE
#undef POS
#undef IMAGE_INDEX
#undef IMAGE_TEXT
#undef PROTECT

std::optional<LONG> Translate(Modes modes, LONG mode) {
    switch (modes) {
    case Modes::None: return 0;
    case Modes::Raw: return mode;
    case Modes::A:
        switch (mode) {
        case 0: case 4: return 2;
        case 1: return 0;
        case 2: return 1;
        }
        return std::nullopt;
    case Modes::B:
        switch (mode) {
        case 0: case 4: return 3;
        case 1: return 1;
        case 2: return 2;
        }
        return std::nullopt;
    case Modes::Ofd:
        if (mode == 1) return 0;
        if (mode == 2) return 1;
        return std::nullopt;
    }
    return std::nullopt;
}

ScopedVariant ValueOf(Src src, const SealArgs& a) {
    switch (src) {
    case Src::Pages: return Text(a.pagesGiven ? a.pages : RangeText(a.first, a.last));
    case Src::Pass: return Text(a.pass);
    case Src::Position: return Text(a.position);
    case Src::Area: return Text(a.area);
    case Src::Image: return Text(a.image);
    case Src::Text: return Text(a.text);
    case Src::Text2: return Text(a.text2);
    case Src::Text3: return Text(a.text3);
    case Src::Empty: return Text(L"");
    case Src::Index: return Long(a.index);
    case Src::Code: return Long(a.code);
    case Src::ShowDlg: return Long(a.showDlg);
    case Src::Kind: return Long(a.kind);
    case Src::Start: return Long(a.first);
    case Src::Last: return Long(a.last);
    case Src::CrossMode: return Long(a.crossMode);
    case Src::CrossType: return Long(a.crossType);
    case Src::CrossFirst: return Long(a.crossFirst);
    case Src::CrossLoop: return Long(a.crossLoop);
    case Src::Protect: return Short(a.protect);
    case Src::Loop: return Short(a.loop);
    case Src::Zero: return Short(0);
    case Src::Width: return Real(a.width);
    case Src::Height: return Real(a.height);
    case Src::None: break;
    }
    return ScopedVariant();
}

// Where a member's result goes: a number or a string.
struct ResultSlot {
    LONG* number = nullptr;
    BSTR* text = nullptr;
};

bool PageRangeFits(IQxDocument* document, LONG first, LONG last) {
    const LONG count = folium::PageCountOf(folium::PagesOf(document).get(), 0);
    return first > 0 && last > 0 && last >= first && first <= count && last <= count;
}

bool IsOfd(IQxDocument* document) {
    if (!document) return false;
    document->AddRef();  // IsOfdDocument takes over one reference
    return folium::IsOfdDocument(document);
}

// The shared sequence: needs, mode, values, engine, parameters, call, result.
HRESULT RunEngineMember(CFoliumFun& self, Member which, SealArgs& a, ResultSlot out) {
    const EngineMember& m = kMembers[which];
    if (m.outcome == Outcome::Text) {
        if (!out.text) return E_POINTER;
        *out.text = UniqueBstr(L"").Detach();
    } else if (m.outcome != Outcome::Nothing) {
        if (!out.number) return E_POINTER;
        if (!(m.extra & kNoInitial)) *out.number = m.initial;
    }
    if ((m.extra & kImagePath) && folium::HasEmbeddedNul(a.image)) return S_FALSE;
    if (!self.Application()) return S_FALSE;

    ComPtr<IQxDocument> document;
    switch (m.needs) {
    case Needs::Host: break;
    case Needs::Doc:
    case Needs::DocPages:
    case Needs::DocNotOfd:
        document = folium::files::HostActiveDocument(self);
        if (!document) return S_FALSE;
        if (m.needs == Needs::DocPages && !PageRangeFits(document.get(), a.first, a.last)) return S_FALSE;
        if (m.needs == Needs::DocNotOfd && IsOfd(document.get())) return S_FALSE;
        break;
    case Needs::OfdDoc:
        if (self.RefreshActiveDocument() != 0 || !IsOfd(self.ActiveDocument())) return S_FALSE;
        break;
    }
    std::optional<LONG> code = Translate(m.modes, a.mode);
    if (!code) return S_FALSE;
    a.code = *code;
    if (m.extra & kOneOnceReady) *out.number = 1;

    std::vector<ScopedVariant> params, args;
    for (const Param& p : m.params) {
        if (!p.name) break;
        params.push_back(ValueOf(p.src, a));
    }
    for (Src s : m.args) {
        if (s == Src::None) break;
        args.push_back(ValueOf(s, a));
    }

    ComPtr<IDispatch> engine = Sibling(self, m.progId);
    if (engine) {
        for (size_t i = 0; i < params.size(); ++i)
            InvokeByName(DISPATCH_PROPERTYPUT, nullptr, engine.get(), m.params[i].name, params[i].get());
        if ((m.modes == Modes::A || m.modes == Modes::B) && a.mode == 0) {
            std::vector<ScopedVariant> loop;
            loop.push_back(Bool(false));
            ScopedVariant ignored;
            CallMethod(engine.get(), L"AddTextPosLoop", loop, ignored.get());
        }
        if (m.extra & kPendingSignData) {
            UniqueBstr style = self.TakePendingSignData();
            if (!style.empty()) {
                std::vector<ScopedVariant> field;
                field.push_back(Text(L"PrintExtParam"));
                field.push_back(Text(View(style.get())));
                ScopedVariant ignored;
                CallMethod(engine.get(), L"SetFieldByName", field, ignored.get());
            }
        }
        ScopedVariant result;
        HRESULT hr = CallMethod(engine.get(), m.method, args, result.get(), m.kind);
        if (SUCCEEDED(hr)) {
            if (m.outcome == Outcome::Text) {
                SysFreeString(*out.text);
                *out.text = TextOf(result.get()).CopyOut();
            } else if (m.outcome != Outcome::Nothing) {
                if (std::optional<LONG> value = LongOf(result.get())) {
                    if (m.outcome == Outcome::Value) *out.number = *value;
                    else if (m.outcome == Outcome::OneMeansZero) *out.number = *value == 1 ? 0 : 1;
                    else *out.number = *value == 0 ? 1 : 0;
                }
            }
        }
    }
    if (m.extra & kClearSelection) {
        if (ComPtr<IDispatch> annots = Sibling(self, kAnnotsAddIn)) {
            std::vector<ScopedVariant> none;
            ScopedVariant ignored;
            CallMethod(annots.get(), L"ClearSelectAnnot", none, ignored.get());
        }
    }
    return S_OK;
}

// The member's own arguments into the values of its row, in the order of its takes.
void Take(SealArgs& a, In in, LONG n) {
    switch (in) {
    case In::Index: a.index = n; break;
    case In::Kind: a.kind = n; break;
    case In::ShowDlg: a.showDlg = n; break;
    case In::Mode: a.mode = n; break;
    case In::First: a.first = n; break;
    case In::Last: a.last = n; break;
    case In::CrossMode: a.crossMode = n; break;
    case In::CrossType: a.crossType = n; break;
    case In::CrossFirst: a.crossFirst = n; break;
    case In::CrossLoop: a.crossLoop = n; break;
    case In::PageNo: a.pages = Decimal(n), a.pagesGiven = true; break;
    default: break;
    }
}
void Take(SealArgs& a, In in, std::wstring_view text) {
    switch (in) {
    case In::Pages: a.pages.assign(text), a.pagesGiven = true; break;
    case In::Pass: a.pass = text; break;
    case In::Position: a.position = text; break;
    case In::Area: a.area = text; break;
    case In::Image: a.image = text; break;
    case In::Text: a.text = text; break;
    case In::Text2: a.text2 = text; break;
    case In::Text3: a.text3 = text; break;
    default: break;
    }
}
void Take(SealArgs& a, In in, BSTR text) { Take(a, in, View(text)); }
void Take(SealArgs& a, In in, const wchar_t* text) { Take(a, in, std::wstring_view(text)); }
void Take(SealArgs& a, In in, VARIANT_BOOL flag) {
    if (in == In::Protect) a.protect = flag;
    if (in == In::Loop) a.loop = flag;
}
void Take(SealArgs& a, In in, FLOAT f) {
    if (in == In::Width) a.width = f;
    if (in == In::Height) a.height = f;
}

template <class... Args>
SealArgs Fill(Member which, Args... args) {
    SealArgs a;
    const In* in = kMembers[which].takes;
    (Take(a, *in++, args), ...);
    return a;
}

// A member that is one row of the table: its arguments, the sequence, its result.
template <class... Args>
HRESULT Run(CFoliumFun& self, Member which, LONG* out, Args... args) {
    return Guarded([&] {
        SealArgs a = Fill(which, args...);
        return RunEngineMember(self, which, a, ResultSlot{out, nullptr});
    });
}

template <class... Args>
HRESULT RunText(CFoliumFun& self, Member which, BSTR* out, Args... args) {
    return Guarded([&] {
        SealArgs a = Fill(which, args...);
        return RunEngineMember(self, which, a, ResultSlot{nullptr, out});
    });
}

// A property put on the signature engine: the status of the put, S_OK without the
// engine; S_FALSE without a host. make builds the value once the engine is found.
template <class Make>
HRESULT PutEngine(CFoliumFun& self, const wchar_t* name, Make make) {
    return Guarded([&]() -> HRESULT {
        if (!self.Application()) return S_FALSE;
        ComPtr<IDispatch> engine = Sibling(self, kEngine);
        if (!engine) return S_OK;
        return PutProperty(engine.get(), name, make());
    });
}

ScopedVariant CopyOf(const VARIANT& v) {
    ScopedVariant copy;
    HRESULT hr = VariantCopy(copy.get(), const_cast<VARIANT*>(&v));
    if (FAILED(hr)) folium::ThrowHResult(hr);
    return copy;
}

// ---- seal image resolution -------------------------------------------------------------

// A seal image given as text becomes a file the engine can read: a local path as it
// is, a URL downloaded, base64 data decoded and saved in its own format. The
// temporary file made on the way goes when the request is done.
class SealImage {
public:
    ~SealImage() {
        if (!temp_.empty()) folium::files::DeleteIfExists(temp_);
    }
    // False when a local file does not exist (the user has been told).
    bool Resolve(CFoliumFun& self, std::wstring_view given) {
        path_.assign(given);
        if (path_.find(L':') != std::wstring::npos) {
            if (path_.find(L"http://") != std::wstring::npos || path_.find(L"https://") != std::wstring::npos) {
                Download(self);
                return true;
            }
            if (GetFileAttributesW(path_.c_str()) == INVALID_FILE_ATTRIBUTES) {
                MessageBoxW(nullptr, kMissingFileText, kImageCaption, MB_ICONERROR | MB_OK);
                return false;
            }
            return true;
        }
        Decode();
        return true;
    }
    const std::wstring& path() const { return path_; }

private:
    // The same fetch as an annotation image's; a failed one leaves the URL in place.
    void Download(CFoliumFun& self) {
        UniqueBstr url(path_.c_str());
        std::wstring file = folium::files::DownloadToTempFile(self, url.get());
        if (!file.empty()) temp_ = path_ = file;
    }

    void Decode() {
        std::string narrow;
        narrow.reserve(path_.size());
        for (wchar_t c : path_) narrow.push_back(c < 0x80 ? static_cast<char>(c) : '?');
        std::vector<std::uint8_t> bytes = folium::DecodeBase64(narrow);
        folium::Image image = folium::Image::Load(bytes.data(), bytes.size());
        if (!image.Valid()) return;
        std::wstring file = folium::files::CreateTempFile();
        if (file.empty()) return;
        temp_ = file;
        if (image.Save(file.c_str())) path_ = file;
    }

    std::wstring path_, temp_;
};

// ---- fields -----------------------------------------------------------------------------

// Visits the document's fields (Fields.Count, Fields.Item with a VT_I8 index from 0)
// until the visitor stops.
void WalkFields(IQxDocument* document, folium::FunctionRef<Walk(IQxField* field)> visit) {
    ComPtr<IQxFields> fields;
    document->get_Fields(fields.put());
    if (!fields) return;
    LONG count = 0;
    fields->get_Count(&count);
    for (LONG i = 0; i < count; ++i) {
        VARIANT index;
        VariantInit(&index);
        index.vt = VT_I8;
        index.llVal = i;
        ComPtr<IQxField> field;
        fields->Item(index, field.put());
        if (field && visit(field.get()) == Walk::Stop) return;
    }
}

bool IsSigned(IQxField* field) {
    ComPtr<IDispatch> signature;
    field->get_Signature(signature.put());
    return static_cast<bool>(signature);
}

void ShowSeal(IQxAnnotation* seal, VARIANT_BOOL visible, bool resetOutput) {
    seal->put_Visible(visible);
    if (resetOutput) seal->ResetOutput(0);
}

}  // namespace

// ---- seal creation --------------------------------------------------------------------

STDMETHODIMP CFoliumFun::CreateSignature(LONG SignIndex, BSTR SignPass, LONG PageNo, LONG mode, BSTR Position,
                                         BSTR /*Area*/, LONG* lResult) {
    return Run(*this, kCreateSignature, lResult, SignIndex, SignPass, PageNo, mode, Position);
}

STDMETHODIMP CFoliumFun::CreateSignaturePages(LONG SignIndex, BSTR SignPass, BSTR Pages, LONG mode, BSTR Position,
                                              BSTR /*Area*/, LONG* lResult) {
    return Run(*this, kCreateSignaturePages, lResult, SignIndex, SignPass, Pages, mode, Position);
}

STDMETHODIMP CFoliumFun::CreateSignatureByName(BSTR sealName, LONG StartPageNo, LONG EndPageNo, BSTR Password,
                                               LONG mode, BSTR posText, BSTR /*protectArea*/, LONG* lRet) {
    return Run(*this, kCreateSignatureByName, lRet, sealName, StartPageNo, EndPageNo, Password, mode, posText);
}

STDMETHODIMP CFoliumFun::CreateSignatureByImage(BSTR imageFile, BSTR SignPass, VARIANT_BOOL bProtected,
                                                LONG nStartPageNo, LONG nEndPageNo, LONG mode, BSTR Position,
                                                LONG* lRet) {
    if (!lRet) return E_POINTER;
    return Guarded([&]() -> HRESULT {
        *lRet = 1;
        SealImage image;
        if (!folium::PathTextsUsable({imageFile}) || !image.Resolve(*this, View(imageFile))) return S_FALSE;
        SealArgs a = Fill(kCreateSignatureByImage, std::wstring_view(image.path()), SignPass, bProtected, nStartPageNo,
                          nEndPageNo, mode, Position);
        return RunEngineMember(*this, kCreateSignatureByImage, a, ResultSlot{lRet, nullptr});
    });
}

STDMETHODIMP CFoliumFun::CreateRaycodeSignature(BSTR SignPass, LONG PageNo, LONG mode, BSTR Position, BSTR /*Area*/,
                                                LONG* lRet) {
    return Run(*this, kCreateRaycode, lRet, SignPass, PageNo, mode, Position);
}

STDMETHODIMP CFoliumFun::CreateBarcodeSignature(BSTR barcodeString, LONG bShowDlg, BSTR SignPass, LONG lStartPage,
                                                LONG lEndPage, LONG mode, BSTR Position, BSTR /*Area*/, LONG* lRet) {
    return Run(*this, kCreateBarcode, lRet, LONG{1}, barcodeString, bShowDlg, SignPass, lStartPage, lEndPage, mode,
               Position);
}

STDMETHODIMP CFoliumFun::CreateQRCodeSignature(BSTR QRCodeString, LONG bShowDlg, BSTR SignPass, LONG lStartPage,
                                               LONG lEndPage, LONG mode, BSTR Position, BSTR /*Area*/, LONG* lRet) {
    return Run(*this, kCreateBarcode, lRet, LONG{2}, QRCodeString, bShowDlg, SignPass, lStartPage, lEndPage, mode,
               Position);
}

STDMETHODIMP CFoliumFun::SeriesSignature(LONG StartPageNo, LONG EndPageNo, LONG Index, BSTR Pass, LONG mode,
                                         BSTR Position, BSTR Area, LONG* lResult) {
    return Run(*this, kSeries, lResult, StartPageNo, EndPageNo, Index, Pass, mode, Position, Area);
}

STDMETHODIMP CFoliumFun::FastSeriesSignature(LONG StartPageNo, LONG EndPageNo, LONG Index, BSTR Pass, LONG mode,
                                             BSTR Position, BSTR Area, LONG /*ReferencePoint*/, LONG* lRet) {
    return Run(*this, kFastSeries, lRet, StartPageNo, EndPageNo, Index, Pass, mode, Position, Area);
}

STDMETHODIMP CFoliumFun::FastSignature(LONG SignIndex, BSTR SignPass, BSTR Area, LONG* lResult) {
    return Run(*this, kFastSignature, lResult, SignIndex, SignPass, Area);
}

STDMETHODIMP CFoliumFun::FastSignatureByImage(BSTR imageFile, BSTR SignPass, VARIANT_BOOL bProtected, LONG* Result) {
    return Run(*this, kFastByImage, Result, imageFile, SignPass, bProtected);
}

STDMETHODIMP CFoliumFun::FastSignatureByImageEx(BSTR imageFile, BSTR SignPass, FLOAT Width, FLOAT Height, BSTR signName,
                                                VARIANT_BOOL bLoop, BSTR ExtParam, VARIANT_BOOL bProtected,
                                                LONG* Result) {
    return Run(*this, kFastByImageEx, Result, imageFile, SignPass, Width, Height, signName, bLoop, ExtParam,
               bProtected);
}

STDMETHODIMP CFoliumFun::AddFieldSignature(BSTR strExParam, LONG* pVal) {
    return Run(*this, kAddFieldSignature, pVal, strExParam);
}

STDMETHODIMP CFoliumFun::AddSignatureByDlg(LONG nType, LONG* lRet) {
    return Run(*this, kAddSignatureByDlg, lRet, nType);
}

STDMETHODIMP CFoliumFun::VDAddBarcodeAnnot(BSTR /*strExParam*/, LONG* pVal) {
    return Run(*this, kAddBarcodeAnnot, pVal);
}

// ---- queries, dialogs and engine commands ------------------------------------------------

STDMETHODIMP CFoliumFun::ShowSignDlg(LONG type, LONG* lRet) {
    return Run(*this, kShowSignDlg, lRet, type);
}

STDMETHODIMP CFoliumFun::ShowCheckDlg(LONG* lRet) {
    return Run(*this, kShowCheckDlg, lRet, LONG{4});
}

STDMETHODIMP CFoliumFun::SignatureNames(BSTR* strRet) {
    return RunText(*this, kSignatureNames, strRet);
}

STDMETHODIMP CFoliumFun::SignatureItem(LONG nIndex, BSTR* strRet) {
    return RunText(*this, kSignatureItem, strRet, nIndex);
}

STDMETHODIMP CFoliumFun::DeleteSignature(BSTR Password, LONG* lResult) {
    return Run(*this, kDeleteSignature, lResult, Password);
}

STDMETHODIMP CFoliumFun::SetSignatureParam(BSTR Name, BSTR Value, BSTR HeaderValue, LONG* lRet) {
    return Run(*this, kSetSignatureParam, lRet, Name, Value, HeaderValue);
}

STDMETHODIMP CFoliumFun::SaveSignDataToLocal(BSTR* strData) {
    return RunText(*this, kSaveSignData, strData);
}

STDMETHODIMP CFoliumFun::LoadLocalSignData(BSTR strSignData, LONG* lRet) {
    return Run(*this, kLoadSignData, lRet, strSignData);
}

STDMETHODIMP CFoliumFun::GetDocumentID(BSTR* strRet) {
    return RunText(*this, kGetDocumentID, strRet);
}

STDMETHODIMP CFoliumFun::GotoSignature(LONG nSignatureIndex, LONG isFirst, LONG* lRet) {
    return Run(*this, kGotoSignature, lRet, nSignatureIndex, isFirst);
}

STDMETHODIMP CFoliumFun::ShedCryptoDocument(LONG IsSaveAs, LONG* Result) {
    return Run(*this, kShedCrypto, Result, IsSaveAs);
}

STDMETHODIMP CFoliumFun::VDLoginPhone(BSTR /*strExParam*/, LONG* pVal) {
    return Run(*this, kLoginPhone, pVal);
}

STDMETHODIMP CFoliumFun::VDLogoutPhone(BSTR /*strExParam*/, LONG* pVal) {
    return Run(*this, kLogoutPhone, pVal);
}

STDMETHODIMP CFoliumFun::SetFieldByName(BSTR Name, BSTR Value, VARIANT_BOOL* bResult) {
    if (!bResult) return E_POINTER;
    if (View(Name).empty() || View(Value).empty()) *bResult = VARIANT_FALSE;
    return Run(*this, kSetField, nullptr, Name, Value);
}

STDMETHODIMP CFoliumFun::GetFieldByName(BSTR strName, BSTR* strValue) {
    if (!strValue) return E_POINTER;
    if (View(strName).empty()) {
        *strValue = SysAllocString(L"");
        return *strValue ? S_FALSE : E_OUTOFMEMORY;
    }
    return RunText(*this, kGetField, strValue, strName);
}

STDMETHODIMP CFoliumFun::ClearFieldByName(VARIANT_BOOL* /*bRet*/) {
    return Run(*this, kClearField, nullptr);
}

STDMETHODIMP CFoliumFun::PreDigitalSignature(LONG nPre, LONG* pVal) {
    return Run(*this, kPreDigital, pVal, kPreSealKey, nPre ? L"True" : L"False");
}

STDMETHODIMP CFoliumFun::SignatureCount(LONG* lRet) {
    if (!lRet) return E_POINTER;
    return Guarded([&]() -> HRESULT {
        *lRet = 0;
        if (!m_spApplication) return S_FALSE;
        ComPtr<IQxDocument> document = folium::files::HostActiveDocument(*this);
        if (!document) return S_FALSE;
        // The host's own count of signed fields first, then the engine's; without
        // the engine the seal annotations on the pages.
        if (LONG signedFields = folium::SignedFieldCount(document.get())) {
            *lRet = signedFields;
            return S_OK;
        }
        if (Sibling(*this, kEngine)) {
            SealArgs a;
            return RunEngineMember(*this, kEngineCount, a, ResultSlot{lRet, nullptr});
        }
        *lRet = folium::CountSealAnnotations(document.get());
        return S_OK;
    });
}

STDMETHODIMP CFoliumFun::HasPreSignature(LONG* pVal) {
    if (!pVal) return E_POINTER;
    return Guarded([&]() -> HRESULT {
        *pVal = 0;
        if (!m_spApplication) return S_FALSE;
        ComPtr<IQxDocument> document = folium::files::HostActiveDocument(*this);
        if (!document) return S_FALSE;
        WalkFields(document.get(), [&](IQxField* field) {
            if (IsSigned(field)) return Walk::Continue;
            ComPtr<IQxAnnotation> widget;
            field->get_Widget(widget.put());
            if (!widget) return Walk::Continue;
            UniqueBstr key(kPreSealKey), value;
            widget->GetValue(key.get(), value.put());
            if (value.empty()) return Walk::Continue;
            *pVal = 1;
            return Walk::Stop;
        });
        return S_OK;
    });
}

STDMETHODIMP CFoliumFun::ConvertSignToImage(BSTR FilePath, LONG* lResult) {
    if (!lResult) return E_POINTER;
    return Guarded([&]() -> HRESULT {
        *lResult = 1;
        // Each gate in turn; the first that does not hold ends the member.
        if (!m_spApplication || View(FilePath).empty() || !folium::PathTextsUsable({FilePath})) return S_FALSE;
        ComPtr<IQxDocument> document = folium::files::HostActiveDocument(*this);
        if (!document || IsOfd(document.get())) return S_FALSE;
        LONG count = 0;
        SignatureCount(&count);
        if (count <= 0) return S_FALSE;
        if (!folium::files::SaveAllowed(*this)) return S_FALSE;
        VARIANT_BOOL editable = VARIANT_FALSE;
        document->Permission(kEditPermission, &editable);
        if (!editable) return S_FALSE;
        ComPtr<IQxSecurity> security;
        document->get_Security(security.put());
        LONG kind = -1;  // unreadable security refuses
        if (security) security->get_Kind(&kind);
        if (kind != 0) return S_FALSE;
        ScopedVariant path = Text(View(FilePath));
        LONG converted = *lResult;
        if (SUCCEEDED(document->ConvertSignToImage(*path.get(), &converted))) *lResult = converted;
        return S_OK;
    });
}

// ---- engine properties ------------------------------------------------------------------

STDMETHODIMP CFoliumFun::get_HaveSignature(LONG* pVal) {
    return Run(*this, kHaveSignature, pVal);
}

STDMETHODIMP CFoliumFun::get_SignatureMode(LONG* pVal) {
    return Run(*this, kGetSignatureMode, pVal);
}

STDMETHODIMP CFoliumFun::put_SignatureMode(LONG value) {
    return Guarded([&]() -> HRESULT {
        if (!m_spApplication) return S_FALSE;
        ComPtr<IDispatch> engine = Sibling(*this, kEngine);
        if (!engine) return S_OK;
        // Other components read the mode from the settings file.
        folium::WriteSettingValue(ConnectionSettingsFolders(), folium::SettingsSearch::Component, "FoliumConfig.dll",
                                  L"SignatureMode",
                                  Decimal(value).c_str());
        return PutProperty(engine.get(), L"SignatureMode", Long(value));
    });
}

STDMETHODIMP CFoliumFun::put_AllowSignName(BSTR value) { return PutEngine(*this, L"AllowSignName",
                                           [&] { return Text(View(value)); }); }

// These two answer S_OK whatever became of the put.
STDMETHODIMP CFoliumFun::put_AllowSignID(BSTR value) {
    PutEngine(*this, L"AllowSignID", [&] { return Text(View(value)); });
    return S_OK;
}

STDMETHODIMP CFoliumFun::get_AllowUserCode(BSTR* pVal) {
    if (!pVal) return E_POINTER;
    *pVal = SysAllocString(L"");
    return *pVal ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP CFoliumFun::put_AllowUserCode(BSTR value) { return PutEngine(*this, L"AllowUserCode",
                                           [&] { return Text(View(value)); }); }
STDMETHODIMP CFoliumFun::put_AllowSignTag(LONG value) { return PutEngine(*this, L"AllowSignTag",
                                          [&] { return Long(value); }); }
STDMETHODIMP CFoliumFun::put_AutoSign(LONG value) { return PutEngine(*this, L"AutoSign", [&] { return Long(value); }); }

STDMETHODIMP CFoliumFun::get_CustomStraddle(LONG* pVal) {
    if (!pVal) return E_POINTER;
    *pVal = 0;
    return S_OK;
}

STDMETHODIMP CFoliumFun::put_CustomStraddle(LONG value) {
    PutEngine(*this, L"CustomStraddle", [&] { return Long(value); });
    return S_OK;
}

STDMETHODIMP CFoliumFun::put_SignaturePages(VARIANT value) {
    return PutEngine(*this, L"SignaturePages", [&] { return CopyOf(value); });
}

STDMETHODIMP CFoliumFun::put_SignaturePos(VARIANT value) { return PutEngine(*this, L"SignaturePos",
                                          [&] { return CopyOf(value); }); }

STDMETHODIMP CFoliumFun::put_SignaturePosMode(LONG value) {
    return PutEngine(*this, L"SignaturePosMode", [&] { return Long(value); });
}

STDMETHODIMP CFoliumFun::put_SignatureOutputFlags(LONG value) {
    return Guarded([&]() -> HRESULT {
        if (value == 0) return S_OK;
        const VARIANT_BOOL visible = (value == 1 || value == 3) ? VARIANT_FALSE : VARIANT_TRUE;
        const bool resetOutput = value == 1 || value == 2;
        if (!m_spApplication) return S_OK;
        ComPtr<IQxDocument> document = folium::files::HostActiveDocument(*this);
        if (!document) return S_OK;
        LONG mode = 0;
        get_SignatureMode(&mode);
        if (mode == 0) {
            folium::ForEachSealAnnotation(document.get(), [&](IQxAnnotation* seal) {
                ShowSeal(seal, visible, resetOutput);
                return Walk::Continue;
            });
        } else {
            WalkFields(document.get(), [&](IQxField* field) {
                LONG kind = 0;
                field->get_Kind(&kind);
                if (kind != kSignatureFieldKind || !IsSigned(field)) return Walk::Continue;
                ComPtr<IQxAnnotation> widget;
                field->get_Widget(widget.put());
                if (widget) ShowSeal(widget.get(), visible, resetOutput);
                return Walk::Continue;
            });
        }
        if (ComPtr<IQxPages> pages = folium::PagesOf(document.get())) pages->Refresh();
        if (resetOutput) {
            if (ComPtr<IDispatch> engine = Sibling(*this, kEngine)) {
                std::vector<ScopedVariant> field;
                field.push_back(Text(L"SignatureOutputFlags"));
                field.push_back(Long(0));
                ScopedVariant ignored;
                CallMethod(engine.get(), L"SetFieldByName", field, ignored.get());
            }
        }
        if (ComPtr<IQxPageView> view = folium::PageViewOf(document.get())) view->Refresh();
        return S_OK;
    });
}

// ---- OFD documents ----------------------------------------------------------------------

STDMETHODIMP CFoliumFun::CreateSignatureOFD(LONG SignIndex, BSTR SignPass, LONG PageNo, LONG mode, BSTR Position,
                                            BSTR /*Area*/, LONG* lResult) {
    return Run(*this, kOfdCreate, lResult, SignIndex, SignPass, PageNo, mode, Position);
}

STDMETHODIMP CFoliumFun::CreateCrossPageSignatureOFD(LONG SignIndex, BSTR SignPass, LONG mode, BSTR Position,
                                                     LONG lSignPageMode, LONG lSignType, LONG lSignFirstPagePercent,
                                                     LONG lSignLoopPageSize, BSTR CrossPagePageRatioDesc,
                                                     LONG* lResult) {
    return Run(*this, kOfdCrossPage, lResult, SignIndex, SignPass, mode, Position, lSignPageMode, lSignType,
               lSignFirstPagePercent, lSignLoopPageSize, CrossPagePageRatioDesc);
}

STDMETHODIMP CFoliumFun::DeleteSignatureOFD(BSTR Password, LONG* lResult) {
    return Run(*this, kOfdDelete, lResult, Password);
}

STDMETHODIMP CFoliumFun::SignatureCountOFD(LONG* lResult) {
    return Run(*this, kOfdCount, lResult);
}

STDMETHODIMP CFoliumFun::InvalidSignatureCountOFD(LONG* lResult) {
    return Run(*this, kOfdInvalidCount, lResult);
}

// Members that deliberately do nothing: success, out-parameter untouched.
STDMETHODIMP CFoliumFun::get_AllowSignName(BSTR* /*pVal*/) { return S_OK; }
STDMETHODIMP CFoliumFun::GotoViewSignature(LONG /*Index*/, LONG* /*lRet*/) { return S_OK; }
STDMETHODIMP CFoliumFun::GetSpecificSignCount(BSTR /*Pages*/, LONG /*SignType*/, LONG* /*Result*/) { return S_OK; }
STDMETHODIMP CFoliumFun::IsPagesSigned(BSTR /*Pages*/, LONG /*SignType*/, LONG* /*Result*/) { return S_OK; }
STDMETHODIMP CFoliumFun::CreateStraddleSignature(LONG /*SignIndex*/, BSTR /*SignPass*/, BSTR /*Position*/,
                                                 LONG /*isBialteral*/, LONG /*EvenOrOdd*/, BSTR /*strRate*/,
                                                 BSTR /*Area*/, LONG* /*lResult*/) {
    return S_OK;
}
STDMETHODIMP CFoliumFun::put_HaveSignature(LONG /*value*/) { return S_OK; }
STDMETHODIMP CFoliumFun::get_SignaturePages(VARIANT* /*pVal*/) { return S_OK; }
STDMETHODIMP CFoliumFun::get_SignaturePos(VARIANT* /*pVal*/) { return S_OK; }
STDMETHODIMP CFoliumFun::get_SignaturePosMode(LONG* /*pVal*/) { return S_OK; }
STDMETHODIMP CFoliumFun::get_AutoSign(LONG* /*pVal*/) { return S_OK; }
STDMETHODIMP CFoliumFun::get_AllowSignID(BSTR* /*pVal*/) { return S_OK; }
STDMETHODIMP CFoliumFun::get_SignatureOutputFlags(LONG* /*pVal*/) { return S_OK; }
STDMETHODIMP CFoliumFun::get_AllowSignTag(LONG* /*pVal*/) { return S_OK; }

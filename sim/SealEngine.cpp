// Seal behaviour of the signature-engine and OFD stand-ins (see SealEngine.h).
#include "SealEngine.h"

#include <map>

#include "App.h"

namespace qxsim {

namespace {

const wchar_t kSealType[] = L"Brimwell:AddSeal";
constexpr double kSealSize = 120;

void SetLong(VARIANT* result, long value) {
    if (!result) return;
    VariantClear(result);
    result->vt = VT_I4;
    result->lVal = value;
}

void SetText(VARIANT* result, const std::wstring& text) {
    if (!result) return;
    VariantClear(result);
    result->vt = VT_BSTR;
    result->bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
}

// The seal annotations of the document in page order.
std::vector<std::shared_ptr<AnnotData>> Seals(const DocData& doc) {
    std::vector<std::shared_ptr<AnnotData>> out;
    for (auto& page : doc.pages)
        for (auto& a : page->annots)
            if (a->type == kSealType) out.push_back(a);
    return out;
}

// "3" or "2-5" (1-based) to a 0-based range within the document; false otherwise.
bool PageRange(const std::wstring& text, size_t pageCount, long* first, long* last) {
    long a = 0, b = 0;
    wchar_t dash = 0;
    int n = swscanf(text.c_str(), L"%ld%lc%ld", &a, &dash, &b);
    if (n == 1) b = a;
    else if (n != 3 || dash != L'-') return false;
    if (a < 1 || b < a || static_cast<size_t>(b) > pageCount) return false;
    *first = a - 1;
    *last = b - 1;
    return true;
}

}  // namespace

struct SealEngine::State {
    bool ofd = false;
    std::map<std::wstring, std::wstring> params;  // last written parameters, as text
    long placed = 0;

    std::wstring Param(const wchar_t* name) const {
        auto it = params.find(name);
        return it == params.end() ? std::wstring() : it->second;
    }

    // The active document when it is of the kind this engine signs.
    std::shared_ptr<DocEntry> Document() const {
        auto entry = ActiveEntry();
        if (!entry || (entry->data->type == 1) != ofd) return nullptr;
        return entry;
    }

    // One seal on each page first..last, centred on "x*y" when the position says so.
    void Place(DocEntry& entry, long first, long last) {
        std::wstring name = Param(L"SignatureImage");
        // A seal image given as a file is read during the call, as the engine does.
        std::string image;
        if (name.find(L'\\') != std::wstring::npos) ReadWholeFile(name, &image);
        double x = -1, y = -1;
        swscanf(Param(L"SignaturePos").c_str(), L"%lf*%lf", &x, &y);
        for (long p = first; p <= last; ++p) {
            auto& page = entry.data->pages[static_cast<size_t>(p)];
            auto seal = std::make_shared<AnnotData>();
            seal->kind = 12;
            seal->type = kSealType;
            seal->author = ofd ? L"Quirex.OFDSignature" : L"Veridane.Folium2015";
            seal->contents = name;
            seal->values[L"SealName"] = name;
            seal->image = image;
            seal->uniqueName = L"seal-" + Num((long long)++placed);
            const double cx = x >= 0 ? x : page->width / 2, cy = y >= 0 ? y : page->height / 2;
            seal->left = cx - kSealSize / 2;
            seal->right = cx + kSealSize / 2;
            seal->bottom = cy - kSealSize / 2;
            seal->top = cy + kSealSize / 2;
            seal->page = page.get();
            page->annots.push_back(seal);
        }
        entry.data->modified = 1;
    }

    bool DeleteLast(DocEntry& entry) {
        auto seals = Seals(*entry.data);
        if (seals.empty()) return false;
        auto last = seals.back();
        auto& list = last->page->annots;
        for (auto it = list.begin(); it != list.end(); ++it)
            if (*it == last) {
                list.erase(it);
                break;
            }
        last->page = nullptr;
        last->deleted = true;
        entry.data->modified = 1;
        return true;
    }
};

SealEngine::SealEngine(bool ofd) : s_(new State) { s_->ofd = ofd; }
SealEngine::~SealEngine() = default;

void SealEngine::Put(const std::wstring& member, const VARIANT& value) {
    std::wstring text;
    if (VariantToText(value, &text)) s_->params[member] = text;
    else if (long long n = 0; VariantToLong(value, &n)) s_->params[member] = Num(n);
}

bool SealEngine::Call(const std::wstring& member, const std::vector<VARIANT>& args, VARIANT* result) {
    // Without a document of its kind the engine does not answer: the caller's
    // preset result stays, as with any stand-in member without behaviour.
    auto entry = s_->Document();
    if (!entry) return false;
    if (member == L"CreateSignature") {
        long first = 0, last = 0;
        if (!PageRange(s_->Param(L"SignaturePages"), entry->data->pages.size(), &first, &last)) {
            SetLong(result, -1);
            return true;
        }
        s_->Place(*entry, first, last);
        SetLong(result, 0);
        return true;
    }
    if (member == L"SeriesSignature" && !s_->ofd) {
        long long first = 0, last = 0;
        if (args.size() < 3 || !VariantToLong(args[0], &first) || !VariantToLong(args[1], &last) ||
            first < 1 || last < first || static_cast<size_t>(last) > entry->data->pages.size()) {
            SetLong(result, 0);
            return true;
        }
        long long index = 0;
        VariantToLong(args[2], &index);
        s_->params[L"SignatureImage"] = Num(index);
        s_->Place(*entry, static_cast<long>(first - 1), static_cast<long>(last - 1));
        SetLong(result, 1);  // the engine's success code for a series
        return true;
    }
    if (member == L"SignatureCount") {
        SetLong(result, static_cast<long>(Seals(*entry->data).size()));
        return true;
    }
    if (member == L"HaveSignature") {
        SetLong(result, Seals(*entry->data).empty() ? 0 : 1);
        return true;
    }
    if (member == L"SignatureNames" || member == L"SignatureItem") {
        std::vector<std::wstring> names;
        for (auto& seal : Seals(*entry->data)) names.push_back(seal->contents);
        if (member == L"SignatureItem") {
            long long i = -1;
            if (!args.empty()) VariantToLong(args[0], &i);
            SetText(result, i >= 0 && i < static_cast<long long>(names.size()) ? names[static_cast<size_t>(i)] : L"");
        } else {
            std::wstring joined;
            for (size_t i = 0; i < names.size(); ++i) joined += (i ? L";" : L"") + names[i];
            SetText(result, joined);
        }
        return true;
    }
    if (member == L"DeleteSignature" || member == L"DeleteLastSignature") {
        SetLong(result, s_->DeleteLast(*entry) ? 0 : -1);
        return true;
    }
    return false;
}

}  // namespace qxsim

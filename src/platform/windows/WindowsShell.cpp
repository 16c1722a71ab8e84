#include "platform/windows/WindowsShell.h"

#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "platform/OpenUrl.h"
#include "platform/windows/WideText.h"

namespace tavolin {
namespace {

// Releases a COM interface at the end of the scope.
template <typename T>
struct ComPtr {
    T* p = nullptr;
    ComPtr() = default;
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ~ComPtr() {
        if (p) p->Release();
    }
    T** Out() { return &p; }
    T* operator->() const { return p; }
};

std::wstring Field(const std::string& utf8) {
    return Widen(utf8);
}

// Converts an automation value into a VARIANT the caller clears.
bool ToVariant(const AutomationValue& value, VARIANT& out);

class DispatchObject final : public AutomationObject {
public:
    explicit DispatchObject(IDispatch* dispatch) : m_dispatch(dispatch) { m_dispatch->AddRef(); }
    ~DispatchObject() override { m_dispatch->Release(); }
    DispatchObject(const DispatchObject&) = delete;
    DispatchObject& operator=(const DispatchObject&) = delete;

    DispatchResult Invoke(int32_t dispatchId, DispatchKind kind,
                          const std::vector<AutomationValue>& args) override;

    IDispatch* Get() const { return m_dispatch; }

private:
    IDispatch* m_dispatch;
};

bool ToVariant(const AutomationValue& value, VARIANT& out) {
    ::VariantInit(&out);
    switch (value.type) {
        case AutomationValue::Type::Empty:
            return true;
        case AutomationValue::Type::Omitted:
            out.vt = VT_ERROR;
            out.scode = DISP_E_PARAMNOTFOUND;
            return true;
        case AutomationValue::Type::Integer:
            out.vt = VT_I4;
            out.lVal = value.integer;
            return true;
        case AutomationValue::Type::Text: {
            const std::wstring text = Widen(value.text);
            out.bstrVal = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
            if (!out.bstrVal) return false;
            out.vt = VT_BSTR;
            return true;
        }
        case AutomationValue::Type::Date:
            out.vt = VT_DATE;
            out.date = value.date;
            return true;
        case AutomationValue::Type::Object: {
            auto* object = dynamic_cast<DispatchObject*>(value.object.get());
            if (!object) return false;  // only objects of this server can be passed back
            out.vt = VT_DISPATCH;
            out.pdispVal = object->Get();
            out.pdispVal->AddRef();
            return true;
        }
    }
    return false;
}

AutomationValue FromVariant(VARIANT& v) {
    VARIANT* value = &v;
    if ((v.vt & VT_BYREF) && v.pvarVal && (v.vt & ~VT_BYREF) == VT_VARIANT) value = v.pvarVal;
    switch (value->vt) {
        case VT_EMPTY:
        case VT_NULL:
            return {};
        case VT_DISPATCH:
            if (!value->pdispVal) return AutomationValue::Obj(nullptr);
            return AutomationValue::Obj(std::make_shared<DispatchObject>(value->pdispVal));
        case VT_UNKNOWN: {
            if (!value->punkVal) return AutomationValue::Obj(nullptr);
            IDispatch* dispatch = nullptr;
            if (FAILED(value->punkVal->QueryInterface(IID_IDispatch,
                                                      reinterpret_cast<void**>(&dispatch)))) {
                return {};
            }
            auto object = std::make_shared<DispatchObject>(dispatch);
            dispatch->Release();
            return AutomationValue::Obj(object);
        }
        case VT_BSTR:
            return AutomationValue::Str(
                value->bstrVal ? Narrow(std::wstring_view(value->bstrVal,
                                                          ::SysStringLen(value->bstrVal)))
                               : std::string());
        case VT_DATE:
            return AutomationValue::OleDate(value->date);
        default: {
            // Every number (and a Boolean) the server may answer with as a 32-bit integer.
            VARIANT converted;
            ::VariantInit(&converted);
            if (SUCCEEDED(::VariantChangeType(&converted, value, 0, VT_I4))) {
                return AutomationValue::Int(converted.lVal);
            }
            return {};
        }
    }
}

DispatchResult DispatchObject::Invoke(int32_t dispatchId, DispatchKind kind,
                                      const std::vector<AutomationValue>& args) {
    // Dispatch takes its arguments last first.
    std::vector<VARIANT> variants(args.size());
    size_t converted = 0;
    bool ok = true;
    for (; converted < args.size(); ++converted) {
        if (!ToVariant(args[args.size() - 1 - converted], variants[converted])) {
            ok = false;
            break;
        }
    }
    if (!ok) {
        for (size_t i = 0; i < converted; ++i) ::VariantClear(&variants[i]);
        return DispatchResult::Failure("an argument cannot be passed to the automation server");
    }
    DISPPARAMS params{variants.empty() ? nullptr : variants.data(), nullptr,
                      static_cast<UINT>(variants.size()), 0};
    VARIANT answer;
    ::VariantInit(&answer);
    EXCEPINFO exception{};
    UINT badArgument = 0;
    const WORD flags = kind == DispatchKind::PropertyGet ? DISPATCH_PROPERTYGET | DISPATCH_METHOD
                                                         : DISPATCH_METHOD;
    const HRESULT hr = m_dispatch->Invoke(dispatchId, IID_NULL, LOCALE_USER_DEFAULT, flags,
                                          &params, &answer, &exception, &badArgument);
    for (VARIANT& v : variants) ::VariantClear(&v);
    if (FAILED(hr)) {
        std::string message;
        if (hr == DISP_E_EXCEPTION) {
            if (exception.pfnDeferredFillIn) exception.pfnDeferredFillIn(&exception);
            if (exception.bstrDescription) {
                message = Narrow(std::wstring_view(exception.bstrDescription,
                                                   ::SysStringLen(exception.bstrDescription)));
            }
        }
        if (exception.bstrSource) ::SysFreeString(exception.bstrSource);
        if (exception.bstrDescription) ::SysFreeString(exception.bstrDescription);
        if (exception.bstrHelpFile) ::SysFreeString(exception.bstrHelpFile);
        if (message.empty()) message = Win32Message(static_cast<unsigned long>(hr));
        ::VariantClear(&answer);
        return DispatchResult::Failure(message);
    }
    AutomationValue value = FromVariant(answer);
    ::VariantClear(&answer);
    return DispatchResult::Value(std::move(value));
}

class ComAutomationHost final : public AutomationHost {
public:
    std::shared_ptr<AutomationObject> Create(std::string_view progId) override {
        if (!EnsureCom()) return nullptr;
        CLSID clsid{};
        if (FAILED(::CLSIDFromProgID(Widen(progId).c_str(), &clsid))) return nullptr;
        ComPtr<IDispatch> dispatch;
        if (FAILED(::CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER | CLSCTX_INPROC_SERVER,
                                      IID_IDispatch, reinterpret_cast<void**>(dispatch.Out())))) {
            return nullptr;
        }
        return WrapDispatch(dispatch.p);
    }
};

// HKEY_CLASSES_ROOT as the system merges it: the user's own classes
// (HKEY_CURRENT_USER\Software\Classes) first, then the machine's.
class RegistryClassRegistry final : public ClassRegistry {
public:
    std::optional<std::string> DefaultValue(std::string_view key) const override {
        const std::wstring sub = Widen(key);
        const std::wstring user = L"Software\\Classes\\" + sub;
        if (auto v = Read(HKEY_CURRENT_USER, user)) return v;
        return Read(HKEY_CLASSES_ROOT, sub);
    }

private:
    static std::optional<std::string> Read(HKEY root, const std::wstring& sub) {
        HKEY key = nullptr;
        if (::RegOpenKeyExW(root, sub.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
            return std::nullopt;
        }
        DWORD type = 0, bytes = 0;
        std::optional<std::string> result;
        if (::RegQueryValueExW(key, nullptr, nullptr, &type, nullptr, &bytes) == ERROR_SUCCESS &&
            (type == REG_SZ || type == REG_EXPAND_SZ) && bytes <= 65536) {
            std::wstring value(bytes / sizeof(wchar_t) + 1, L'\0');
            if (::RegQueryValueExW(key, nullptr, nullptr, &type,
                                   reinterpret_cast<BYTE*>(value.data()), &bytes) ==
                ERROR_SUCCESS) {
                // The stored string need not end in a terminator.
                value.resize(wcsnlen(value.c_str(), bytes / sizeof(wchar_t)));
                result = Narrow(value);
            }
        }
        ::RegCloseKey(key);
        return result;
    }
};

class ShellUrlOpener final : public UrlOpener {
public:
    int Open(const std::string& target) override {
        // The shell may start COM servers to find the handler.
        EnsureCom();
        const auto result = ::ShellExecuteW(nullptr, L"open", Widen(target).c_str(), nullptr,
                                            nullptr, SW_SHOWNORMAL);
        return static_cast<int>(reinterpret_cast<intptr_t>(result));
    }
};

}  // namespace

bool EnsureCom() {
    const HRESULT hr = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    // S_FALSE: already initialised on this thread; RPC_E_CHANGED_MODE: initialised
    // multithreaded, which serves as well.
    return SUCCEEDED(hr) || hr == RPC_E_CHANGED_MODE;
}

std::shared_ptr<AutomationObject> WrapDispatch(IDispatch* dispatch) {
    if (!dispatch) return nullptr;
    return std::make_shared<DispatchObject>(dispatch);
}

std::optional<std::filesystem::path> StartupFolder() {
    EnsureCom();
    PWSTR path = nullptr;
    const HRESULT hr = ::SHGetKnownFolderPath(FOLDERID_Startup, KF_FLAG_DEFAULT, nullptr, &path);
    std::optional<std::filesystem::path> folder;
    if (SUCCEEDED(hr) && path) folder = std::filesystem::path(path);
    ::CoTaskMemFree(path);
    return folder;
}

bool ShellLinkShortcut::SetInfo(const ShortcutInfo& info) {
    m_info = info;
    return EnsureCom();
}

bool ShellLinkShortcut::Save(const std::filesystem::path& path) {
    if (!EnsureCom()) return false;
    ComPtr<IShellLinkW> link;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  reinterpret_cast<void**>(link.Out())))) {
        return false;
    }
    link->SetPath(Field(m_info.targetPath).c_str());
    link->SetWorkingDirectory(Field(m_info.workingDirectory).c_str());
    link->SetIconLocation(Field(m_info.iconPath).c_str(), m_info.iconIndex);
    link->SetDescription(Field(m_info.description).c_str());
    link->SetArguments(Field(m_info.arguments).c_str());
    link->SetHotkey(m_info.hotKey);
    link->SetShowCmd(m_info.showCommand);
    ComPtr<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.Out())))) {
        return false;
    }
    return SUCCEEDED(file->Save(path.c_str(), TRUE));
}

bool ShellLinkShortcut::Load(const std::filesystem::path& path) {
    if (!EnsureCom()) return false;
    ComPtr<IShellLinkW> link;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  reinterpret_cast<void**>(link.Out())))) {
        return false;
    }
    ComPtr<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.Out()))) ||
        FAILED(file->Load(path.c_str(), STGM_READ))) {
        return false;
    }
    wchar_t text[INFOTIPSIZE + 1] = {};
    ShortcutInfo info;
    if (SUCCEEDED(link->GetPath(text, MAX_PATH, nullptr, SLGP_UNCPRIORITY))) info.targetPath = Narrow(text);
    text[0] = 0;
    if (SUCCEEDED(link->GetArguments(text, INFOTIPSIZE))) info.arguments = Narrow(text);
    text[0] = 0;
    if (SUCCEEDED(link->GetDescription(text, INFOTIPSIZE))) info.description = Narrow(text);
    text[0] = 0;
    if (SUCCEEDED(link->GetWorkingDirectory(text, MAX_PATH))) info.workingDirectory = Narrow(text);
    text[0] = 0;
    int icon = 0;
    if (SUCCEEDED(link->GetIconLocation(text, MAX_PATH, &icon))) {
        info.iconPath = Narrow(text);
        info.iconIndex = icon;
    }
    WORD hotKey = 0;
    if (SUCCEEDED(link->GetHotkey(&hotKey))) info.hotKey = hotKey;
    int show = 0;
    if (SUCCEEDED(link->GetShowCmd(&show))) info.showCommand = show;
    m_info = info;
    return true;
}

bool ShellLinkShortcut::Resolve() const {
    const DWORD attributes = ::GetFileAttributesW(Widen(m_info.targetPath).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::unique_ptr<ShellShortcut> CreateShellShortcut() {
    return std::make_unique<ShellLinkShortcut>();
}

std::unique_ptr<AutomationHost> CreateSystemAutomationHost() {
    return std::make_unique<ComAutomationHost>();
}

std::unique_ptr<ClassRegistry> CreateSystemClassRegistry() {
    return std::make_unique<RegistryClassRegistry>();
}

std::shared_ptr<UrlOpener> MakeSystemUrlOpener(std::vector<std::string>) {
    // ShellExecuteW starts the handler in the user's own environment.
    return std::make_shared<ShellUrlOpener>();
}

}  // namespace tavolin

#include "control/ComRegistration.h"

#include <cstdio>

#include "control/ControlIdentities.h"

namespace corvanta::control {

namespace {

using platform::RegistryTree;
using platform::RegistryValue;

std::string Path(std::initializer_list<std::string_view> parts) {
    std::string path = kClassesRoot;
    for (std::string_view p : parts) {
        path += '\\';
        path += p;
    }
    return path;
}

RegistryValue Text(std::string_view text) { return RegistryValue{platform::kRegSz, std::string(text)}; }

// Sets a value and makes every key on the way, as creating a key does.
void Put(RegistryTree& tree, const std::string& key, std::string_view name, std::string_view text) {
    for (size_t sep = key.find('\\'); sep != std::string::npos; sep = key.find('\\', sep + 1)) tree[key.substr(0, sep)];
    tree[key][std::string(name)] = Text(text);
}

// Removes `key` and everything below it; true when something went.
bool EraseTree(RegistryTree& tree, const std::string& key) {
    bool erased = tree.erase(key) > 0;
    const std::string prefix = key + "\\";
    for (auto it = tree.lower_bound(prefix); it != tree.end() && it->first.starts_with(prefix);) {
        it = tree.erase(it);
        erased = true;
    }
    return erased;
}

std::string Hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%x", value);
    return text;
}

void PutTypeLib(RegistryTree& tree, const std::string& modulePath) {
    const std::string lib = Path({"TypeLib", kTypeLibId, kTypeLibVersion});
    Put(tree, lib, "", kTypeLibDescription);
    Put(tree, lib + "\\0\\linux64", "", modulePath);
    Put(tree, lib + "\\FLAGS", "", "0");
    Put(tree, lib + "\\HELPDIR", "", "");
    for (auto [iid, name] : {std::pair{kDispatchIid, kDispatchName}, std::pair{kEventsIid, kEventsName}}) {
        const std::string itf = Path({"Interface", iid});
        Put(tree, itf, "", name);
        Put(tree, itf + "\\ProxyStubClsid32", "", "{00020420-0000-0000-C000-000000000046}");
        Put(tree, itf + "\\TypeLib", "", kTypeLibId);
        tree[itf + "\\TypeLib"]["Version"] = Text(kTypeLibVersion);
    }
}

void PutControl(RegistryTree& tree, const std::string& modulePath) {
    const std::string cls = Path({"CLSID", kControlClsid});
    Put(tree, cls, "", kControlTypeName);
    Put(tree, cls + "\\InprocServer32", "", modulePath);
    tree[cls + "\\InprocServer32"]["ThreadingModel"] = Text("Apartment");
    Put(tree, cls + "\\ProgID", "", kControlProgId);
    Put(tree, cls + "\\Control", "", "");
    if (kRegistrationFlags & 1) Put(tree, cls + "\\Insertable", "", "");
    Put(tree, cls + "\\ToolboxBitmap32", "", modulePath + ", " + std::to_string(kToolboxBitmapId));
    Put(tree, cls + "\\MiscStatus", "", "0");
    Put(tree, cls + "\\MiscStatus\\1", "", std::to_string(kMiscStatus));
    Put(tree, cls + "\\TypeLib", "", kTypeLibId);
    Put(tree, cls + "\\Version", "", kTypeLibVersion);
    const std::string prog = Path({kControlProgId});
    Put(tree, prog, "", kControlTypeName);
    Put(tree, prog + "\\CLSID", "", kControlClsid);
    if (kRegistrationFlags & 1) Put(tree, prog + "\\Insertable", "", "");
}

void PutPropPage(RegistryTree& tree, const std::string& modulePath) {
    const std::string cls = Path({"CLSID", kPropPageClsid});
    Put(tree, cls, "", kPropPageTypeName);
    Put(tree, cls + "\\InprocServer32", "", modulePath);
    tree[cls + "\\InprocServer32"]["ThreadingModel"] = Text("Apartment");
}

// Creates the category when missing and enters the control in it.
bool PutCategory(const platform::RegistryStorage& storage, const char* catid, const char* description) {
    auto r = storage.Update([&](RegistryTree& tree) {
        const std::string cat = Path({"Component Categories", catid});
        const std::string locale = Hex(kCategoryLocale);
        if (!tree.count(cat) || !tree[cat].count(locale)) Put(tree, cat, locale, CategoryDescription(description));
        Put(tree, Path({"CLSID", kControlClsid, "Implemented Categories", catid}), "", "");
        return true;
    });
    return r && r.Value();
}

}  // namespace

std::string CategoryDescription(std::string_view text) {
    return std::string(text.substr(0, kCategoryDescriptionMax));
}

int32_t RegisterModule(const platform::RegistryStorage& storage, const std::string& modulePath) {
    if (!storage.Update([&](RegistryTree& tree) {
            PutTypeLib(tree, modulePath);
            return true;
        }))
        return kRegTypeLibFailed;
    if (!storage.Update([&](RegistryTree& tree) {
            PutControl(tree, modulePath);
            PutPropPage(tree, modulePath);
            return true;
        }))
        return kRegClassFailed;
    PutCategory(storage, kCatSafeForScripting, kCatSafeForScriptingName);
    PutCategory(storage, kCatSafeForInit, kCatSafeForInitName);
    return kRegOk;
}

int32_t UnregisterModule(const platform::RegistryStorage& storage) {
    if (!storage.Update([](RegistryTree& tree) {
            bool changed = EraseTree(tree, Path({"TypeLib", kTypeLibId, kTypeLibVersion}));
            changed |= EraseTree(tree, Path({"Interface", kDispatchIid}));
            changed |= EraseTree(tree, Path({"Interface", kEventsIid}));
            return changed;
        }))
        return kRegTypeLibFailed;
    if (!storage.Update([](RegistryTree& tree) {
            bool changed = EraseTree(tree, Path({"CLSID", kControlClsid}));
            changed |= EraseTree(tree, Path({kControlProgId}));
            changed |= EraseTree(tree, Path({"CLSID", kPropPageClsid}));
            return changed;
        }))
        return kRegClassFailed;
    return kRegOk;
}

std::string RegisteredModulePath(const platform::RegistryStorage& storage, std::string_view progId) {
    auto tree = storage.Load();
    if (!tree) return {};
    auto find = [&](const std::string& key) -> std::string {
        auto k = tree.Value().find(key);
        if (k == tree.Value().end()) return {};
        auto v = k->second.find("");
        return v != k->second.end() && v->second.type == platform::kRegSz ? v->second.data : std::string();
    };
    const std::string clsid = find(Path({progId, "CLSID"}));
    if (clsid.empty()) return {};
    return find(Path({"CLSID", clsid, "InprocServer32"}));
}

}  // namespace corvanta::control

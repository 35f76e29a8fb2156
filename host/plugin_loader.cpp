#include "host/plugin_loader.h"

#include <QWidget>
#include <dlfcn.h>

PluginLoader::~PluginLoader() {
    if (handle_) ::dlclose(handle_);
}

bool PluginLoader::Load(const QString& path) {
    handle_ = ::dlopen(path.toLocal8Bit().constData(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
        error_ = QString::fromLocal8Bit(::dlerror());
        return false;
    }
    auto resolve = [this](auto& target, const char* name) {
        target =
            reinterpret_cast<std::remove_reference_t<decltype(target)>>(::dlsym(handle_, name));
        if (!target && error_.isEmpty()) error_ = QStringLiteral("Missing symbol %1").arg(name);
    };
    resolve(setFuncInterface_, "_SetFuncInterface");
    resolve(setShowLineFunc_, "_SetShowLineFunc");
    resolve(setComHandle_, "_SetComHandle");
    resolve(showForm_, "_ShowMDIChildForm");
    resolve(closeForm_, "_CloseMDIChildForm");
    resolve(canRun_, "_CanRun");
    resolve(wantComPortClosed_, "_WantCOMPortClosed");
    resolve(formPointer_, "_frm_main");
    if (!error_.isEmpty()) {
        ::dlclose(handle_);
        handle_ = nullptr;
        return false;
    }
    return true;
}

QWidget* PluginLoader::Form() const {
    // The form is a QWidget subclass with single inheritance, so its address is the
    // address of its QWidget part.
    return formPointer_ ? static_cast<QWidget*>(*formPointer_) : nullptr;
}

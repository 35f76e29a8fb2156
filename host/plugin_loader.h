#pragma once
// Loads the Bluetooth plug-in with dlopen and resolves the host contract's symbols.

#include <QString>
#include <cstdint>

class QMdiArea;
class QWidget;

class PluginLoader {
public:
    using ShowLineFunc = void (*)(const char*, uint8_t);

    PluginLoader() = default;
    ~PluginLoader();
    PluginLoader(const PluginLoader&) = delete;
    PluginLoader& operator=(const PluginLoader&) = delete;

    // Loads the library at `path`; false with ErrorText() set when it or a symbol is missing.
    bool Load(const QString& path);
    bool IsLoaded() const { return handle_ != nullptr; }
    QString ErrorText() const { return error_; }

    void SetFuncInterface(const void* table, int32_t size) const { setFuncInterface_(table, size); }
    void SetShowLineFunc(ShowLineFunc f) const { setShowLineFunc_(f); }
    void SetComHandle(int32_t handle) const { setComHandle_(handle); }
    void ShowMDIChildForm(QMdiArea* area) const { showForm_(area); }
    void CloseMDIChildForm(QMdiArea* area) const { closeForm_(area); }
    int32_t CanRun() const { return canRun_(); }
    int32_t WantCOMPortClosed() const { return wantComPortClosed_(); }
    // The plug-in's current form, or null.
    QWidget* Form() const;

private:
    void* handle_ = nullptr;
    QString error_;
    void (*setFuncInterface_)(const void*, int32_t) = nullptr;
    void (*setShowLineFunc_)(ShowLineFunc) = nullptr;
    void (*setComHandle_)(int32_t) = nullptr;
    void (*showForm_)(void*) = nullptr;
    void (*closeForm_)(void*) = nullptr;
    int32_t (*canRun_)() = nullptr;
    int32_t (*wantComPortClosed_)() = nullptr;
    void** formPointer_ = nullptr;
};

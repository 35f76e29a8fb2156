#pragma once
// The HCI command page: sending a typed sequence, the reply, and the stored command tabs.

#include <QObject>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ui/hci_commands.h"
#include "ui/layout.h"

namespace ui {

class FormContext;

class HciPage : public QObject {
public:
    HciPage(FormContext& form, QWidget* window, const FormControls& controls);
    ~HciPage() override;

    // The request and response controls follow their record versions: at start-up they
    // are enabled whatever the chip state and a refused version is logged; later they
    // follow the chip state.
    void ApplyVersions(bool atStartUp);
    // Reads HCICommands.ini into tabs.
    void Load();
    // Writes the tabs to HCICommands.ini (on close).
    void Save();
    // The captions and stored sequences, in tab order.
    std::vector<HciCommandTab> Tabs() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct THCICommandTextData {
        std::string text; // lines joined by CR LF
    };

    bool AddTab(const std::string& name, const std::string& sequence, std::string& error);
    bool RenameTab(const std::string& name, std::string& error);
    void DeleteTab(int index);
    void StoreCurrent();
    // The request field's text into the record of the tab it shows.
    void StoreShown();
    void ShowCurrent();
    std::optional<std::string> AskName(const char* caption, const QString& current);
    void SendClick();
    void AddClick();
    void EditClick();
    void DeleteClick();
    void TabChanged(int index);
    void TabMoved(int from, int to);

    FormContext& form_;
    QWidget* window_; // owns the dialogs
    const HciControls& c_;
    std::vector<std::unique_ptr<THCICommandTextData>> commands_;
    // The tab whose record the request field shows; -1 while none does.
    int shownTab_ = -1;
    // The tabs were loaded from the file, so closing may store them.
    bool loaded_ = false;
};

} // namespace ui

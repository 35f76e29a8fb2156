#include "random_run.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSlider>
#include <QTabBar>
#include <QTabWidget>
#include <QTextEdit>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <random>

#include "fake_host.h"
#include "phonesim.h"
#include "plugin/plugin.h"
#include "ui/hci_commands.h"
#include "ui/main.h"
#include "util/util.h"

namespace robust {
namespace {

using phonesim::Fault;

std::string Quoted(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte >= 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", byte);
            out += hex;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// A sequence as the file keeps it: its lines without the blanks around them (blanks only
// separate bytes), a line of blanks alone being empty.
std::vector<std::string> StoredLines(const std::string& sequence) {
    std::vector<std::string> lines = ui::SequenceLines(sequence);
    for (std::string& line : lines)
        line = Trim(line);
    while (!lines.empty() && lines.back().empty())
        lines.pop_back();
    return lines;
}

constexpr Fault kFaults[] = {Fault::HostCallFails, Fault::NoReply,   Fault::Garbage,
                             Fault::MissingOk,     Fault::ErrorCode, Fault::ValueShort,
                             Fault::ValueExtra,    Fault::WrongSize, Fault::OversizeLength,
                             Fault::WrongNvmId,    Fault::HciTooLong};

class Driver {
public:
    Driver(const RandomRunOptions& options, RandomRunReport& report)
        : options_(options), report_(report), rng_(options.seed) {}

    void Run() {
        const auto start = std::chrono::steady_clock::now();
        QTimer answerer;
        answerer.setInterval(0);
        QObject::connect(&answerer, &QTimer::timeout, [this] { AnswerDialog(); });
        answerer.start();
        Open();
        while (report_.actions < options_.actions) {
            if (options_.seconds > 0 &&
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() >
                    options_.seconds)
                break;
            ++report_.actions;
            if (Chance(options_.faultPercent)) ArmFault();
            if (Below(options_.reopenEvery) == 0) {
                CloseAndCheck();
                Open();
                continue;
            }
            Act();
            QApplication::processEvents();
        }
        CloseAndCheck();
        answerer.stop();
    }

private:
    uint32_t Below(uint32_t n) {
        return n ? std::uniform_int_distribution<uint32_t>(0, n - 1)(rng_) : 0;
    }
    bool Chance(uint32_t percent) { return Below(100) < percent; }
    template <typename T> T* Pick(const QList<T*>& list) {
        return list.isEmpty() ? nullptr : list[static_cast<qsizetype>(Below(list.size()))];
    }

    void Fail(const std::string& what) {
        if (report_.failures.size() < 50)
            report_.failures.push_back("action " + std::to_string(report_.actions) + ": " + what);
    }

    void Open() {
        host_.reset();
        host_ = std::make_unique<fakehost::FakeHost>();
        host_->SetInterfaceKind(Chance(50) ? 2 : 1);
        host_->Phone().Chip().on = Chance(70);
        host_->InstallIntoPlugin();
        form_ = std::make_unique<Tfrm_main>();
        frm_main = form_.get();
        form_->resize(1000, 800);
        form_->show();
        form_->StartUp();
        ++report_.opens;
    }

    void CloseAndCheck() {
        if (!form_) return;
        form_->close();
        QApplication::processEvents();
        // Closing stores the sequence being edited into its tab, then the file; the form
        // lives on until it is destroyed.
        const std::vector<ui::HciCommandTab> tabs = form_->HciCommandTabs();
        report_.mostHciTabs = std::max<uint64_t>(report_.mostHciTabs, tabs.size());
        const std::string path = GetSettingsFolder() + ui::kHciCommandsFileName;
        const std::vector<ui::HciCommandTab> stored = ui::LoadHciCommandsFile(path);
        if (stored.size() != tabs.size()) {
            Fail("HCICommands.ini holds " + std::to_string(stored.size()) + " tabs, the form had " +
                 std::to_string(tabs.size()));
        } else {
            for (std::size_t i = 0; i < tabs.size(); ++i)
                if (stored[i].name != Trim(tabs[i].name) ||
                    StoredLines(stored[i].sequence) != StoredLines(tabs[i].sequence))
                    Fail("HCICommands.ini tab " + std::to_string(i) + " holds " +
                         Quoted(stored[i].name) + " " + Quoted(stored[i].sequence) +
                         ", the form had " + Quoted(tabs[i].name) + " " + Quoted(tabs[i].sequence));
        }
        frm_main = nullptr;
        form_.reset();
    }

    void ArmFault() {
        ++report_.faultsArmed;
        phonesim::FaultSpec fault;
        fault.kind = kFaults[Below(std::size(kFaults))];
        if (Chance(30)) fault.value = static_cast<int32_t>(Below(20000));
        if (Chance(50))
            host_->Phone().InjectText(fault);
        else
            host_->Phone().InjectBinary(fault, Chance(50) ? -1 : static_cast<int32_t>(Below(30)));
        if (Chance(5)) host_->Phone().ClearFaults();
        if (Chance(3)) host_->Phone().SetTextVersions(static_cast<int>(Below(34)), 2, 2);
        if (Chance(3)) host_->Phone().SetBinaryVersions(static_cast<int>(Below(30)), 2, 2);
    }

    std::string RandomText() {
        static const char* const kShapes[] = {"0",
                                              "1",
                                              "-1",
                                              "255",
                                              "256",
                                              "65535",
                                              "4294967295",
                                              "99999999999999999999",
                                              "0x1F",
                                              "FF",
                                              "ff",
                                              "1F 2E",
                                              "01 03 0C 00",
                                              "01,03,0C,00",
                                              "01  03",
                                              " 01 03 ",
                                              "1.5",
                                              "+3",
                                              "--2",
                                              "",
                                              " ",
                                              "\t",
                                              "AB:CD:EF:01:23:45",
                                              "00:1A:7D:DA:71:13",
                                              "01 02 03 04 05 06 07 08",
                                              "\xff\xfe",
                                              "\r\n",
                                              "01 03 0C 00\r\n01 09 10 00"};
        switch (Below(4)) {
        case 0:
            return kShapes[Below(std::size(kShapes))];
        case 1:
            return std::to_string(static_cast<int64_t>(rng_()) >> Below(64));
        case 2: {
            std::string s;
            const uint32_t n = Below(Chance(10) ? 600 : 12);
            for (uint32_t i = 0; i < n; ++i)
                s += "0123456789ABCDEFabcdef ,-x"[Below(26)];
            return s;
        }
        default: {
            std::string s;
            const uint32_t n = Below(40);
            for (uint32_t i = 0; i < n; ++i)
                s += static_cast<char>(1 + Below(255));
            return s;
        }
        }
    }

    // What an operator can put into a one-line edit: anything but line breaks.
    std::string OneLineText() {
        std::string text = RandomText();
        std::erase_if(text, [](char c) { return c == '\r' || c == '\n'; });
        return text;
    }

    template <typename T> QList<T*> Usable() {
        QList<T*> usable;
        for (T* w : form_->findChildren<T*>())
            if (w->isVisible() && w->isEnabled()) usable.push_back(w);
        return usable;
    }

    void Act() {
        if (Chance(10)) {
            // The HCI tab buttons (add, edit, delete, send), more often than chance alone
            // would pick them, so that tabs come and go.
            QList<QAbstractButton*> hci;
            for (auto* b : form_->findChildren<QAbstractButton*>())
                if (b->isEnabled() && b->objectName().contains("Hci", Qt::CaseInsensitive))
                    hci.push_back(b);
            if (auto* b = Pick(hci)) b->click();
            return;
        }
        switch (Below(10)) {
        case 0:
        case 1:
        case 2:
            if (auto* b = Pick(Usable<QAbstractButton>())) b->click();
            break;
        case 3:
            if (auto* c = Pick(Usable<QComboBox>()))
                if (c->count() > 0) c->setCurrentIndex(static_cast<int>(Below(c->count())));
            break;
        case 4:
        case 5:
            if (auto* e = Pick(Usable<QLineEdit>())) {
                e->setText(QString::fromLatin1(OneLineText()));
                if (Chance(50)) emit e->editingFinished();
                if (Chance(20)) emit e->returnPressed();
            }
            break;
        case 6:
            if (auto* t = Pick(Usable<QPlainTextEdit>()))
                t->setPlainText(QString::fromLatin1(RandomText()));
            else if (auto* te = Pick(Usable<QTextEdit>()))
                te->setPlainText(QString::fromLatin1(RandomText()));
            break;
        case 7:
            if (auto* tw = Pick(Usable<QTabWidget>()))
                if (tw->count() > 0) tw->setCurrentIndex(static_cast<int>(Below(tw->count())));
            break;
        case 8:
            if (auto* bar = Pick(Usable<QTabBar>()))
                if (bar->count() > 1)
                    bar->moveTab(static_cast<int>(Below(bar->count())),
                                 static_cast<int>(Below(bar->count())));
            break;
        default:
            if (auto* s = Pick(Usable<QSlider>()))
                s->setValue(s->minimum() + static_cast<int>(Below(static_cast<uint32_t>(
                                               s->maximum() - s->minimum() + 1))));
            break;
        }
    }

    void AnswerDialog() {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr) return;
        ++report_.dialogsAnswered;
        for (auto* edit : dialog->findChildren<QLineEdit*>())
            if (Chance(70)) edit->setText(QString::fromLatin1(OneLineText()));
        QList<QAbstractButton*> buttons;
        if (auto* box = qobject_cast<QMessageBox*>(dialog)) buttons = box->buttons();
        for (auto* bb : dialog->findChildren<QDialogButtonBox*>())
            buttons += bb->buttons();
        if (auto* b = Pick(buttons); b && Chance(90))
            b->click();
        else
            dialog->done(Chance(50) ? QDialog::Accepted : QDialog::Rejected);
    }

    RandomRunOptions options_;
    RandomRunReport& report_;
    std::mt19937_64 rng_;
    std::unique_ptr<fakehost::FakeHost> host_;
    std::unique_ptr<Tfrm_main> form_;
};

} // namespace

RandomRunReport RunRandom(const RandomRunOptions& options) {
    RandomRunReport report;
    Driver(options, report).Run();
    return report;
}

} // namespace robust

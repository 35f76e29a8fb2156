// The random operator: the form in a test host over a phone simulator that injects random
// faults, driven by seeded random operator actions and dialog answers, closed and reopened
// now and then. Every close must leave HCICommands.ini holding exactly the tabs the form
// had. In CTest a short run with a fixed seed; built as the random_run program
// (scripts/random_run.sh) it runs as long as asked: [--seed N] [--actions N] [--seconds S].
#include <QtWidgets>
#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <random>

#include "fake_host.h"
#include "plugin/plugin.h"
#include "ui/hci_commands.h"
#include "ui/main.h"
#include "util/util.h"

namespace {

struct Report {
    uint64_t actions = 0, opens = 0, dialogs = 0, mostHciTabs = 0;
    std::vector<std::string> failures; // one line per broken promise
};

// Text as the file keeps it: its lines without the blanks around them (blanks only separate
// bytes), a line of blanks alone being empty, no empty lines at the end.
std::vector<std::string> StoredLines(const std::string& text) {
    std::vector<std::string> lines = ui::SequenceLines(text);
    for (std::string& line : lines) {
        const auto first = line.find_first_not_of(" \t");
        line = first == std::string::npos
                   ? std::string()
                   : line.substr(first, line.find_last_not_of(" \t") - first + 1);
    }
    while (!lines.empty() && lines.back().empty())
        lines.pop_back();
    return lines;
}

class Driver {
public:
    Driver(uint64_t seed, Report& report) : report_(report), rng_(seed) {}

    void Run(uint64_t actions, double seconds) {
        const auto start = std::chrono::steady_clock::now();
        QTimer answerer;
        QObject::connect(&answerer, &QTimer::timeout, [this] { AnswerDialog(); });
        answerer.start(0);
        Open();
        using Seconds = std::chrono::duration<double>;
        for (;
             report_.actions < actions &&
             (seconds <= 0 || Seconds(std::chrono::steady_clock::now() - start).count() < seconds);
             ++report_.actions) {
            if (Chance(15)) ArmFault();
            if (Below(400) == 0) {
                CloseAndCheck();
                Open();
            } else {
                Act();
                QApplication::processEvents();
            }
        }
        CloseAndCheck();
    }

private:
    uint32_t Below(uint32_t n) {
        return n ? std::uniform_int_distribution<uint32_t>(0, n - 1)(rng_) : 0;
    }
    bool Chance(uint32_t percent) { return Below(100) < percent; }
    template <typename T> T* Pick(const QList<T*>& list) {
        return list.isEmpty() ? nullptr : list[static_cast<qsizetype>(Below(list.size()))];
    }
    template <typename T> QList<T*> Usable() {
        QList<T*> usable;
        for (T* w : form_->findChildren<T*>())
            if (w->isVisible() && w->isEnabled()) usable.push_back(w);
        return usable;
    }
    int Index(int count) { return static_cast<int>(Below(static_cast<uint32_t>(count))); }

    void Open() {
        host_.reset(); // one fake host at a time
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

    // Closing stores the sequence being edited into its tab, then the file; the form lives
    // on until it is destroyed.
    void CloseAndCheck() {
        form_->close();
        QApplication::processEvents();
        const std::vector<ui::HciCommandTab> tabs = form_->HciCommandTabs();
        report_.mostHciTabs = std::max<uint64_t>(report_.mostHciTabs, tabs.size());
        const auto stored = ui::LoadHciCommandsFile(GetSettingsFolder() + ui::kHciCommandsFileName);
        bool same = stored.size() == tabs.size();
        for (std::size_t i = 0; same && i < tabs.size(); ++i)
            same = StoredLines(stored[i].name) == StoredLines(tabs[i].name) &&
                   StoredLines(stored[i].sequence) == StoredLines(tabs[i].sequence);
        if (!same && report_.failures.size() < 50)
            report_.failures.push_back("action " + std::to_string(report_.actions) +
                                       ": HCICommands.ini does not hold the form's " +
                                       std::to_string(tabs.size()) + " HCI tabs");
        frm_main = nullptr;
        form_.reset();
    }

    void ArmFault() {
        using phonesim::Fault;
        static const Fault kinds[] = {Fault::HostCallFails, Fault::NoReply,   Fault::Garbage,
                                      Fault::MissingOk,     Fault::ErrorCode, Fault::ValueShort,
                                      Fault::ValueExtra,    Fault::WrongSize, Fault::OversizeLength,
                                      Fault::WrongNvmId,    Fault::HciTooLong};
        phonesim::FaultSpec fault{kinds[Below(std::size(kinds))]};
        if (Chance(30)) fault.value = static_cast<int32_t>(Below(20000));
        if (Chance(50))
            host_->Phone().InjectText(fault);
        else
            host_->Phone().InjectBinary(fault, Chance(50) ? -1 : static_cast<int32_t>(Below(30)));
        if (Chance(5)) host_->Phone().ClearFaults();
        if (Chance(3)) host_->Phone().SetTextVersions(static_cast<int>(Below(34)), 2, 2);
        if (Chance(3)) host_->Phone().SetBinaryVersions(static_cast<int>(Below(30)), 2, 2);
    }

    // What an operator can type: the shapes numbers and byte lists take, near them, or any
    // bytes, sometimes past any limit; line breaks only where the control takes them.
    QString RandomText(bool oneLine) {
        // clang-format off
        static const char* const kShapes[] = {
            "0", "-1", "255", "256", "65535", "4294967295", "99999999999999999999", "0x1F", "FF",
            "ff", "1F 2E", "01 03 0C 00", "01,03,0C,00", "01  03", " 01 03 ", "1.5", "+3", "--2",
            "", " ", "\t", "00:1A:7D:DA:71:13", "01 02 03 04 05 06 07 08", "\xff\xfe", "\r\n",
            "01 03 0C 00\r\n01 09 10 00"};
        // clang-format on
        std::string text = Chance(50) ? kShapes[Below(std::size(kShapes))] : "";
        for (uint32_t n = text.empty() ? Below(Chance(10) ? 600 : 40) : 0; n > 0; --n)
            text += Chance(50) ? "0123456789ABCDEFabcdef ,-x"[Below(26)]
                               : static_cast<char>(1 + Below(255));
        if (oneLine) std::erase_if(text, [](char c) { return c == '\r' || c == '\n'; });
        return QString::fromLatin1(text);
    }

    void Act() {
        // The HCI tab buttons more often than chance alone would pick them, so that tabs come
        // and go.
        if (Chance(10)) {
            QList<QAbstractButton*> hci;
            for (auto* b : Usable<QAbstractButton>())
                if (b->objectName().contains("Hci", Qt::CaseInsensitive)) hci.push_back(b);
            if (auto* b = Pick(hci)) b->click();
            return;
        }
        const uint32_t action = Below(10);
        if (action < 3) {
            if (auto* b = Pick(Usable<QAbstractButton>())) b->click();
        } else if (action == 3) {
            if (auto* c = Pick(Usable<QComboBox>()); c && c->count() > 0)
                c->setCurrentIndex(Index(c->count()));
        } else if (action < 6) {
            if (auto* e = Pick(Usable<QLineEdit>())) {
                e->setText(RandomText(true));
                if (Chance(50)) emit e->editingFinished();
                if (Chance(20)) emit e->returnPressed();
            }
        } else if (action == 6) {
            if (auto* t = Pick(Usable<QPlainTextEdit>())) t->setPlainText(RandomText(false));
        } else if (action == 7) {
            if (auto* tw = Pick(Usable<QTabWidget>()); tw && tw->count() > 0)
                tw->setCurrentIndex(Index(tw->count()));
        } else if (action == 8) {
            if (auto* bar = Pick(Usable<QTabBar>()); bar && bar->count() > 1)
                bar->moveTab(Index(bar->count()), Index(bar->count()));
        } else if (auto* s = Pick(Usable<QSlider>())) {
            s->setValue(s->minimum() + Index(s->maximum() - s->minimum() + 1));
        }
    }

    void AnswerDialog() {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr) return;
        ++report_.dialogs;
        for (auto* edit : dialog->findChildren<QLineEdit*>())
            if (Chance(70)) edit->setText(RandomText(true));
        QList<QAbstractButton*> buttons;
        if (auto* box = qobject_cast<QMessageBox*>(dialog)) buttons = box->buttons();
        for (auto* bb : dialog->findChildren<QDialogButtonBox*>())
            buttons += bb->buttons();
        if (auto* b = Pick(buttons); b && Chance(90))
            b->click();
        else
            dialog->done(Chance(50) ? QDialog::Accepted : QDialog::Rejected);
    }

    Report& report_;
    std::mt19937_64 rng_;
    std::unique_ptr<fakehost::FakeHost> host_;
    std::unique_ptr<Tfrm_main> form_;
};

} // namespace

#ifdef BT_RANDOM_RUN_PROGRAM
int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::map<std::string, double> flags = {{"--seed", 1}, {"--actions", 1e18}, {"--seconds", 60}};
    for (int i = 1; i < argc; i += 2) {
        if (!flags.count(argv[i]) || i + 1 == argc) {
            std::fprintf(stderr, "usage: %s [--seed N] [--actions N] [--seconds S]\n", argv[0]);
            return 2;
        }
        flags[argv[i]] = std::strtod(argv[i + 1], nullptr);
    }
    Report r;
    Driver(static_cast<uint64_t>(flags["--seed"]), r)
        .Run(static_cast<uint64_t>(flags["--actions"]), flags["--seconds"]);
    std::string summary = std::to_string(r.actions) + " actions, " + std::to_string(r.opens) +
                          " opens, at most " + std::to_string(r.mostHciTabs) + " HCI tabs";
    for (const std::string& failure : r.failures)
        summary += "\n  " + failure;
    std::puts(summary.c_str());
    return r.failures.empty() ? 0 : 1;
}
#else
#include <gtest/gtest.h>

TEST(RandomRun, FixedSeedSurvivesThousandsOfActionsAndKeepsEveryHciTab) {
    Report report;
    Driver(20261206, report).Run(3000, 0);
    for (const std::string& failure : report.failures)
        ADD_FAILURE() << failure;
    EXPECT_EQ(report.actions, 3000u);
    EXPECT_GE(report.opens, 3u);
    EXPECT_GT(report.dialogs, 0u);
    EXPECT_GT(report.mostHciTabs, 1u) << "the run must add HCI tabs to check their storage";
}
#endif

#pragma once
// A form over the fake host and the phone simulator, with helpers to drive its controls
// by name and to answer the modal boxes it opens.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QRadioButton>
#include <QSlider>
#include <QTimer>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bt/bluetooth_transport.h"
#include "bt/ibluetooth.h"
#include "fake_host.h"
#include "plugin/plugin.h"
#include "ui/hci_commands.h"
#include "ui/main.h"
#include "util/util.h"

class FormTest : public testing::Test {
protected:
    fakehost::FakeHost host;
    std::unique_ptr<Tfrm_main> form;

    phonesim::Simulator& Phone() { return host.Phone(); }

    // Builds the form as the plug-in does and runs its start-up; the modal boxes of
    // start-up are closed and their texts returned.
    std::vector<QString> Start(int32_t interfaceKind, bool chipOn = true) {
        host.SetInterfaceKind(interfaceKind);
        Phone().Chip().on = chipOn;
        host.InstallIntoPlugin();
        form = std::make_unique<Tfrm_main>();
        frm_main = form.get();
        return AnswerBoxes([this] { form->StartUp(); });
    }

    // The plug-in's library-wide state (the legacy record versions, the settings folder)
    // outlives a form; each test starts as on a fresh load with no stored HCI tabs.
    void SetUp() override {
        legacy_framing::detail::ClearOpcodeVersionTable();
        std::remove((GetSettingsFolder() + ui::kHciCommandsFileName).c_str());
    }

    void TearDown() override {
        frm_main = nullptr;
        form.reset();
    }

    // Runs `action`, closing every modal box that opens meanwhile; returns their texts.
    static std::vector<QString> AnswerBoxes(const std::function<void()>& action) {
        std::vector<QString> texts;
        QTimer timer;
        timer.setInterval(5);
        QObject::connect(&timer, &QTimer::timeout, [&texts] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (dialog == nullptr) return;
            if (auto* box = qobject_cast<QMessageBox*>(dialog)) texts.push_back(box->text());
            dialog->done(0);
        });
        timer.start();
        action();
        timer.stop();
        return texts;
    }

    template <typename T = QWidget> T* W(const char* name) const {
        T* control = form->findChild<T*>(QString::fromLatin1(name));
        if (control == nullptr) ADD_FAILURE() << "no control " << name;
        return control;
    }
    bool Enabled(const char* name) const { return !W(name)->testAttribute(Qt::WA_Disabled); }
    bool Visible(const char* name) const { return !W(name)->isHidden(); }
    QString Text(const char* name) const {
        if (auto* label = form->findChild<QLabel*>(QString::fromLatin1(name))) return label->text();
        return W<QLineEdit>(name)->text();
    }
    void SetText(const char* name, const QString& text) { W<QLineEdit>(name)->setText(text); }
    void Click(const char* name) { W<QAbstractButton>(name)->click(); }
    void Select(const char* list, int index) { W<QComboBox>(list)->setCurrentIndex(index); }
    void SetChecked(const char* name, bool checked) {
        auto* box = W<QAbstractButton>(name);
        if (box->isChecked() != checked) box->click();
    }
    void Slide(const char* name, int position) { W<QSlider>(name)->setValue(position); }

    QRadioButton* ModeItem(const QString& caption) const {
        for (auto* item : W<QGroupBox>("rg_TestModes")->findChildren<QRadioButton*>()) {
            if (item->text() == caption) return item;
        }
        return nullptr;
    }
    void ChooseMode(const QString& caption) {
        QRadioButton* item = ModeItem(caption);
        ASSERT_NE(item, nullptr) << caption.toStdString();
        item->click();
    }

    // The log lines with flag 0 that start with "Parameter error:".
    std::vector<std::string> ParameterErrors() const {
        std::vector<std::string> lines;
        for (const auto& line : host.Log()) {
            if (line.flag == 0 && line.text.rfind("Parameter error:", 0) == 0)
                lines.push_back(line.text);
        }
        return lines;
    }

    static bool Marked(QWidget* control) {
        return control->font().bold() &&
               control->palette().color(QPalette::WindowText) == QColor(Qt::red);
    }
};

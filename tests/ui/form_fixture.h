#pragma once
// A form over the fake host and the phone simulator, driven black-box by control name.

#include <gtest/gtest.h>

#include <QtWidgets>

#include "bt/bluetooth_transport.h"
#include "bt/ibluetooth.h"
#include "fake_host.h"
#include "plugin/plugin.h"
#include "ui/main.h"
#include "util/util.h"

using Texts = std::vector<QString>;
using Strings = std::vector<std::string>;

inline QStringList Split(const QString& text, QChar separator = ';') {
    return text.isEmpty() ? QStringList() : text.split(separator);
}

class FormTest : public testing::Test {
protected:
    fakehost::FakeHost host;
    std::unique_ptr<Tfrm_main> form;

    phonesim::Simulator& Phone() { return host.Phone(); }

    // Builds the form as the plug-in does and runs its start-up; returns its boxes.
    Texts Start(int32_t kind, bool chipOn = true) {
        host.SetInterfaceKind(kind);
        Phone().Chip().on = chipOn;
        host.InstallIntoPlugin();
        form = std::make_unique<Tfrm_main>();
        frm_main = form.get();
        return Dialogs([this] { form->StartUp(); });
    }
    // The library-wide state (legacy record versions, settings folder) outlives a form:
    // each test starts as on a fresh load, so the suite also passes as one process.
    void SetUp() override {
        legacy_framing::detail::ClearOpcodeVersionTable();
        std::remove((GetSettingsFolder() + "HCICommands.ini").c_str());
    }
    void TearDown() override { frm_main = nullptr; }

    // Runs `action` and answers every modal box: input dialogs with `name` (cancelled when
    // null), questions with Yes or No, others with OK. Returns "caption|text" of each box and
    // "caption|label|value" of each input dialog.
    static Texts Dialogs(const std::function<void()>& action, const char* name = nullptr,
                         bool yes = true) {
        Texts texts;
        QTimer timer;
        QObject::connect(&timer, &QTimer::timeout, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* input = qobject_cast<QInputDialog*>(modal)) {
                texts.push_back(input->windowTitle() + "|" + input->labelText() + "|" +
                                input->textValue());
                if (name == nullptr) return input->reject();
                input->setTextValue(name);
                input->accept();
            } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                texts.push_back(box->windowTitle() + "|" + box->text());
                const bool question = box->standardButtons().testFlag(QMessageBox::Yes);
                box->done(!question ? QMessageBox::Ok : yes ? QMessageBox::Yes : QMessageBox::No);
            }
        });
        timer.start(5);
        action();
        return texts;
    }

    template <typename T = QWidget> T* W(const QString& name) const {
        T* control = form->findChild<T*>(name);
        if (control == nullptr) ADD_FAILURE() << "no control " << name.toStdString();
        return control;
    }
    bool Enabled(const QString& name) const { return !W(name)->testAttribute(Qt::WA_Disabled); }
    bool Marked(const QString& name) const {
        return W(name)->font().bold() && W(name)->palette().color(QPalette::WindowText) == Qt::red;
    }
    QString Text(const QString& name) const {
        QWidget* control = W(name);
        if (auto* label = qobject_cast<QLabel*>(control)) return label->text();
        if (auto* memo = qobject_cast<QPlainTextEdit*>(control)) return memo->toPlainText();
        if (auto* list = qobject_cast<QComboBox*>(control)) return list->currentText();
        if (auto* group = qobject_cast<QGroupBox*>(control)) return group->title();
        return qobject_cast<QLineEdit*>(control)->text();
    }
    // Sets a control as the operator would: the text of an edit, the position of a track
    // bar, the index of a list, "1"/"0" of a check box, the caption of an item of the mode
    // or the separator group ("mode", "separator").
    void Set(const QString& name, const QString& value) {
        if (name == "mode" || name == "separator") {
            const QString group = name == "mode" ? "rg_TestModes" : "rg_HCISequenceSeparator";
            for (auto* item : W(group)->findChildren<QRadioButton*>())
                if (item->text() == value) item->click();
            return;
        }
        QWidget* control = W(name);
        if (auto* edit = qobject_cast<QLineEdit*>(control)) return edit->setText(value);
        if (auto* memo = qobject_cast<QPlainTextEdit*>(control)) return memo->setPlainText(value);
        if (auto* bar = qobject_cast<QSlider*>(control)) return bar->setValue(value.toInt());
        if (auto* list = qobject_cast<QComboBox*>(control))
            return list->setCurrentIndex(value.toInt());
        auto* box = qobject_cast<QAbstractButton*>(control);
        if (box->isChecked() != (value == "1")) box->click();
    }
    void Apply(const QString& input) {
        for (const QString& pair : Split(input))
            Set(pair.section('=', 0, 0), pair.section('=', 1));
    }
    // Each "name=text" of `shown` is what the control shows.
    void ExpectShown(const QString& shown) const {
        for (const QString& pair : Split(shown))
            EXPECT_EQ(Text(pair.section('=', 0, 0)), pair.section('=', 1)) << pair.toStdString();
    }
    void ExpectEnabled(const QString& names, bool enabled) const {
        for (const QString& name : Split(names, ' '))
            EXPECT_EQ(Enabled(name), enabled) << name.toStdString();
    }
    void Click(const QString& name) { W<QAbstractButton>(name)->click(); }
    Strings Lines(const std::string& prefix, int flag = 1) const {
        Strings lines;
        for (const auto& line : host.Log())
            if (line.flag == flag && line.text.rfind(prefix, 0) == 0) lines.push_back(line.text);
        return lines;
    }
    Strings ParameterErrors() const { return Lines("Parameter error:", 0); }
};

#include "ui/page_nvm.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <cstring>
#include <optional>

#include "bt/ibluetooth.h"
#include "plugin/plugin.h"
#include "ui/form_context.h"
#include "ui/form_util.h"
#include "ui/page_rf.h"
#include "ui/rules.h"
#include "ui/widgets.h"
#include "util/util.h"

namespace ui {

namespace {

template <typename T> T* Out(T& field) {
    return &field;
}
template <std::size_t N> uint8_t* Out(uint8_t (&field)[N]) {
    return field;
}
template <typename T> T In(const T& field) {
    return field;
}
template <std::size_t N> const uint8_t* In(const uint8_t (&field)[N]) {
    return field;
}

// GetNvm<Param> of `param` into its field of `values`.
T_Result GetNvmParam(IBluetooth& bluetooth, T_BT_NVM_PARAM_TYPE param,
                     T_BT_ALL_NVM_PARAMS& values) {
    switch (param) {
#define BT_NVM_GET(Camel, field, id, kind, transfer, units)                                               \
    case id:                                                                                       \
        return bluetooth.GetNvm##Camel(kVersion, Out(values.field));
        BT_NVM_PARAMS(BT_NVM_GET)
#undef BT_NVM_GET
    default:
        return T_Result{T_RESULT_ERROR, "NVM command not supported"};
    }
}

// SetNvm<Param> of `param` with its field of `values`.
T_Result SetNvmParam(IBluetooth& bluetooth, T_BT_NVM_PARAM_TYPE param,
                     const T_BT_ALL_NVM_PARAMS& values) {
    switch (param) {
#define BT_NVM_SET(Camel, field, id, kind, transfer, units)                                               \
    case id:                                                                                       \
        return bluetooth.SetNvm##Camel(kVersion, In(values.field));
        BT_NVM_PARAMS(BT_NVM_SET)
#undef BT_NVM_SET
    default:
        return T_Result{T_RESULT_ERROR, "NVM command not supported"};
    }
}

// A scalar field of the record as a number, and back.
int64_t FieldValue(const T_BT_ALL_NVM_PARAMS& values, const nvm::ParamInfo& info) {
    const auto* at = reinterpret_cast<const unsigned char*>(&values) + info.offset;
    switch (info.kind) {
    case nvm::Kind::I8: {
        int8_t v;
        std::memcpy(&v, at, 1);
        return v;
    }
    case nvm::Kind::U16: {
        uint16_t v;
        std::memcpy(&v, at, 2);
        return v;
    }
    case nvm::Kind::U32: {
        uint32_t v;
        std::memcpy(&v, at, 4);
        return v;
    }
    default:
        return *at;
    }
}

void SetFieldValue(T_BT_ALL_NVM_PARAMS& values, const nvm::ParamInfo& info, int64_t value) {
    auto* at = reinterpret_cast<unsigned char*>(&values) + info.offset;
    switch (info.kind) {
    case nvm::Kind::U16: {
        const auto v = static_cast<uint16_t>(value);
        std::memcpy(at, &v, 2);
        break;
    }
    case nvm::Kind::U32: {
        const auto v = static_cast<uint32_t>(value);
        std::memcpy(at, &v, 4);
        break;
    }
    default:
        *at = static_cast<unsigned char>(value & 0xFF);
        break;
    }
}

void ClearMark(QWidget* control) {
    QFont font = control->font();
    font.setBold(false);
    control->setFont(font);
    QPalette palette = control->palette();
    palette.setColor(QPalette::Text, Qt::black);
    palette.setColor(QPalette::WindowText, Qt::black);
    control->setPalette(palette);
}

bool IsMarked(const QWidget* control) {
    return control->font().bold();
}

} // namespace

NvmPage::NvmPage(FormContext& form, const FormControls& controls, RfTestPage& rf)
    : form_(form), c_(controls.nvm), rfControls_(controls.rf), rf_(rf) {
    std::vector<QLineEdit*> marked;
    for (std::size_t i = 0; i < kNvmFields.size(); ++i) {
        const NvmField& field = kNvmFields[i];
        Controls& own = controls_[i];
        switch (field.shown) {
        case NvmShown::Address:
            own.box = rfControls_.address;
            marked.insert(marked.end(), rfControls_.addressEdits.begin(),
                          rfControls_.addressEdits.end());
            break;
        case NvmShown::Spin: {
            const SpinControls& s = rfControls_.spins[field.control];
            own.loose = {s.label, s.edit, s.upDown};
            if (s.unit != nullptr) own.loose.push_back(s.unit);
            own.edit = s.edit;
            own.mark = s.edit;
            marked.push_back(s.edit);
            break;
        }
        case NvmShown::Track: {
            const TrackControls& t = rfControls_.tracks[field.control];
            own.loose = {t.label, t.value, t.bar};
            own.mark = t.value;
            break;
        }
        case NvmShown::LmpFeatures:
            own.box = c_.lmpBox;
            marked.insert(marked.end(), c_.lmpFeatures.begin(), c_.lmpFeatures.end());
            break;
        case NvmShown::Box:
            own.box = c_.fieldBoxes[field.id];
            own.edit = c_.fieldEdits[field.id];
            own.mark = own.edit;
            marked.push_back(own.edit);
            break;
        }
        readOrder_[field.read] = static_cast<uint8_t>(i);
    }
    for (QLineEdit* edit : marked)
        connect(edit, &QLineEdit::textChanged, this, [this, edit] { form_.MarkChanged(edit); });
    connect(c_.read, &QAbstractButton::clicked, this, &NvmPage::Read);
    connect(c_.write, &QAbstractButton::clicked, this, &NvmPage::WriteModified);
    connect(c_.writeAll, &QAbstractButton::clicked, this, &NvmPage::WriteAll);
}

void NvmPage::ShowTextProtocolControls(bool shown) {
    c_.writeAll->setVisible(shown);
    c_.box->setVisible(shown);
    for (QWidget* child : c_.box->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        child->setVisible(shown);
}

bool NvmPage::BoxShown() const {
    return !c_.box->isHidden();
}

void NvmPage::SetEnabled(const Controls& controls, bool enabled) {
    if (controls.box != nullptr) SetChildrenEnabled(controls.box, enabled);
    for (QWidget* control : controls.loose)
        control->setEnabled(enabled);
}

void NvmPage::EnableFields() {
    if (readFailed_) return;
    for (std::size_t i = 0; i < kNvmFields.size(); ++i) {
        const NvmField& field = kNvmFields[i];
        if (field.group != NvmGroup::None && !BoxShown()) continue;
        if (form_.Bluetooth().GetNvmDataVersion(static_cast<uint8_t>(field.id)) == 1)
            SetEnabled(controls_[i], form_.BtOn());
    }
}

void NvmPage::Show(const NvmField& field, const T_BT_ALL_NVM_PARAMS& values) {
    switch (field.shown) {
    case NvmShown::Address: {
        const int8_t base = rfControls_.addressHex->isChecked() ? 16 : 10;
        for (int i = 0; i < 6; ++i)
            rfControls_.addressEdits[i]->setText(Q(NumberToText(values.bdaddr[i], base, 2, false)));
        return;
    }
    case NvmShown::LmpFeatures:
        for (int i = 0; i < 8; ++i)
            c_.lmpFeatures[i]->setText(QString::number(values.lmp_features[i]));
        return;
    case NvmShown::Track:
        rfControls_.tracks[field.control].bar->setValue(
            static_cast<int>(FieldValue(values, *nvm::FindById(field.id))));
        return;
    default:
        controls_[&field - kNvmFields.data()].edit->setText(
            QString::number(FieldValue(values, *nvm::FindById(field.id))));
        return;
    }
}

Checked NvmPage::Value(const NvmField& field) const {
    switch (field.shown) {
    case NvmShown::Track:
        return {rfControls_.tracks[field.control].bar->value(), {}};
    case NvmShown::Spin:
        return rf_.Check(static_cast<spin::Id>(field.control));
    default: {
        const Range range = KindRange(nvm::FindById(field.id)->kind);
        return CheckNumber(c_.fieldEdits[field.id]->text().toStdString(), field.caption,
                           range.minimum, range.maximum);
    }
    }
}

void NvmPage::Read() {
    form_.SetMarkChanges(false);
    std::string collected;
    bool readAllFailed = false;
    T_BT_ALL_NVM_PARAMS values{};
    {
        WaitCursor wait;
        if (form_.ZepBackEnd()) {
            // The text back-end's getters answer from what this read-all brings.
            T_BT_ALL_NVM_PARAMS all{};
            const T_Result result = form_.Bluetooth().ReadAllNvmParams(kVersion, &all);
            if (result.code != T_RESULT_OK) {
                readAllFailed = true;
                collected += result.text;
            }
        }
        for (uint8_t row : readOrder_) {
            const NvmField& field = kNvmFields[row];
            if (field.group != NvmGroup::None && !BoxShown()) continue;
            if (readAllFailed) {
                SetEnabled(controls_[row], false);
                continue;
            }
            const T_Result result = GetNvmParam(form_.Bluetooth(), field.id, values);
            if (result.code != T_RESULT_OK) {
                SetEnabled(controls_[row], false);
                collected += result.text;
                continue;
            }
            SetEnabled(controls_[row], form_.BtOn());
            Show(field, values);
        }
    }
    readFailed_ = readAllFailed;
    if (!collected.empty())
        ShowLine("Unknown version of data retrieved for following NVM parameter(s):\n" + collected,
                 1);
    form_.SetMarkChanges(true);
}

bool NvmPage::ReadLmpFeatures(uint8_t features[8], std::string& bad) const {
    for (int i = 0; i < 8; ++i) {
        const std::string text = c_.lmpFeatures[i]->text().toStdString();
        const std::optional<int32_t> byte = ReadWholeNumber(text);
        if (!byte) {
            bad = text;
            return false;
        }
        features[i] = static_cast<uint8_t>(*byte & 0xFF);
    }
    return true;
}

void NvmPage::WriteModified() {
    std::string message;
    T_BT_ALL_NVM_PARAMS values{};
    const bool boxShown = BoxShown();
    bool lmpMarked = false;
    if (boxShown && c_.lmpFeatures[0]->isEnabled()) {
        for (QLineEdit* edit : c_.lmpFeatures)
            lmpMarked = lmpMarked || IsMarked(edit);
    }
    if (!markOnly_ && !rf_.ReadAddress(values.bdaddr)) return;
    std::optional<WaitCursor> wait(std::in_place);
    for (std::size_t i = 0; i < kNvmFields.size(); ++i) {
        const NvmField& field = kNvmFields[i];
        if (field.shown == NvmShown::Address) continue; // written last, below
        if (field.group != NvmGroup::None && !boxShown) continue;
        if (field.shown == NvmShown::LmpFeatures) {
            if (!lmpMarked) continue;
            if (!markOnly_) {
                // A byte that is no number stops the press at its turn: what was written
                // stays written, and the messages of the fields before it are logged all
                // the same, since their marks are already gone.
                std::string bad;
                if (!ReadLmpFeatures(values.lmp_features, bad)) {
                    wait.reset();
                    form_.ShowConversionError(bad);
                    if (!message.empty()) LogParameterError(message);
                    return;
                }
                SetNvmParam(form_.Bluetooth(), field.id, values);
            }
            for (QLineEdit* edit : c_.lmpFeatures)
                ClearMark(edit);
            continue;
        }
        const Controls& own = controls_[i];
        const QWidget* control = own.edit != nullptr ? static_cast<QWidget*>(own.edit)
                                                     : rfControls_.tracks[field.control].bar;
        if (!control->isEnabled() || !IsMarked(own.mark)) continue;
        if (!markOnly_) {
            const Checked checked = Value(field);
            message += checked.message;
            if (checked.ok()) {
                SetFieldValue(values, *nvm::FindById(field.id), checked.value);
                SetNvmParam(form_.Bluetooth(), field.id, values);
            }
        }
        ClearMark(own.mark);
    }
    if (message.empty()) {
        bool addressMarked = false;
        for (QLineEdit* edit : rfControls_.addressEdits)
            addressMarked = addressMarked || IsMarked(edit);
        if (rfControls_.addressEdits[0]->isEnabled() && addressMarked && !markOnly_)
            SetNvmParam(form_.Bluetooth(), BNPT_BT_ADDRESS, values);
        for (QLineEdit* edit : rfControls_.addressEdits)
            ClearMark(edit);
    }
    wait.reset();
    if (!message.empty()) LogParameterError(message);
    markOnly_ = false;
}

void NvmPage::WriteAll() {
    if (readFailed_) {
        LogParameterError("\nNVM parameters have not been read from the phone\n");
        return;
    }
    T_BT_ALL_NVM_PARAMS values{};
    if (!rf_.ReadAddress(values.bdaddr)) return;
    std::string bad;
    if (!ReadLmpFeatures(values.lmp_features, bad)) return form_.ShowConversionError(bad);
    std::string message;
    for (const NvmField& field : kNvmFields) {
        if (field.shown == NvmShown::Address || field.shown == NvmShown::LmpFeatures) continue;
        const Checked checked = Value(field);
        message += checked.message;
        SetFieldValue(values, *nvm::FindById(field.id), checked.value);
    }
    if (!message.empty()) {
        LogParameterError(message);
        return;
    }
    {
        WaitCursor wait;
        form_.Bluetooth().WriteAllNvmParams(kVersion, values);
    }
    markOnly_ = true;
    WriteModified();
}

} // namespace ui

#include "host/station.h"

#include <QAction>
#include <QDateTime>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMdiArea>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTimer>

#include "host/hci_trace.h"
#include "host/results_window.h"
#include "host/serial_link.h"
#include "store/connection.h"
#include "trace/btsnoop.h"

namespace {

Station* LogTarget = nullptr;

extern "C" void StationShowLine(const char* text, uint8_t flag) {
    if (LogTarget) LogTarget->AppendLog(QString::fromLocal8Bit(text ? text : ""), flag);
}

} // namespace

Station::Station(QWidget* parent) : QMainWindow(parent) {
    setWindowTitle("Tessaly station");
    auto* splitter = new QSplitter(Qt::Vertical, this);
    mdi_ = new QMdiArea(splitter);
    mdi_->setObjectName("mdiArea");
    log_ = new QPlainTextEdit(splitter);
    log_->setObjectName("log");
    log_->setReadOnly(true);
    log_->setMaximumBlockCount(100000);
    splitter->addWidget(mdi_);
    splitter->addWidget(log_);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 1);
    setCentralWidget(splitter);

    QMenu* file = menuBar()->addMenu("&File");
    file->addAction("&Save log...", this, [this] {
        const QString path = QFileDialog::getSaveFileName(this, "Save log", "station.log");
        if (!path.isEmpty() && !SaveLog(path))
            QMessageBox::warning(this, "Save log", "The log could not be written to " + path);
    });
    traceAction_ = file->addAction("Record HCI &trace...", this, [this] {
        if (RecordingHciTrace()) {
            StopHciTrace();
            return;
        }
        const QString path =
            QFileDialog::getSaveFileName(this, "Record HCI trace", "hci.btsnoop",
                                         "btsnoop traces (*.btsnoop *.log);;All files (*)");
        if (!path.isEmpty()) StartHciTrace(path);
    });
    traceAction_->setObjectName("actionHciTrace");
    file->addAction("&Results...", this, &Station::OpenResultsWindow)
        ->setObjectName("actionResults");
    file->addSeparator();
    file->addAction("&Quit", this, &QWidget::close);
    QMenu* bluetooth = menuBar()->addMenu("&Bluetooth");
    bluetooth->addAction("&Open window", this, &Station::OpenBluetoothWindow);
    bluetooth->addAction("&Close window", this, &Station::CloseBluetoothWindow);

    FillStationSlots(table_);
    TapHciSlots(table_);
    LogTarget = this;
    resultsUrl_ = store::DefaultUrl("results");
    resize(1280, 900);
}

Station::~Station() {
    delete resultsWindow_; // before its store connection closes
    StopHciTrace();
    if (plugin_.IsLoaded()) {
        CloseBluetoothWindow();
        plugin_.SetShowLineFunc(nullptr);
    }
    if (link_) UseSerialLink(table_, nullptr);
    if (LogTarget == this) LogTarget = nullptr;
}

void Station::UseSerialPort(const QString& device, qint32 baud) {
    link_ = std::make_unique<SerialLink>(
        device, baud, [this](const QString& text, bool error) { AppendLog(text, error ? 0 : 1); });
    UseSerialLink(table_, link_.get());
    TapHciSlots(table_);
    link_->Open();
    // A re-plugged phone is found again between exchanges, not only at the next command.
    if (reopen_ == nullptr) {
        reopen_ = new QTimer(this);
        reopen_->setInterval(1000);
        connect(reopen_, &QTimer::timeout, this, [this] {
            if (link_) link_->EnsureOpen();
        });
    }
    reopen_->start();
}

bool Station::LoadPlugin(const QString& path) {
    if (!plugin_.Load(path)) {
        AppendLog("Cannot load the Bluetooth plug-in: " + plugin_.ErrorText(), 0);
        return false;
    }
    plugin_.SetFuncInterface(table_.Data(), table_.SizeInBytes());
    plugin_.SetComHandle(1);
    plugin_.SetShowLineFunc(&StationShowLine);
    AppendLog("Loaded " + path, 1);
    return true;
}

void Station::OpenBluetoothWindow() {
    if (!plugin_.IsLoaded() || plugin_.CanRun() != 1) return;
    plugin_.ShowMDIChildForm(mdi_);
    if (QWidget* form = plugin_.Form()) AppendLog("Opened window: " + form->windowTitle(), 1);
}

void Station::CloseBluetoothWindow() {
    if (plugin_.IsLoaded()) plugin_.CloseMDIChildForm(mdi_);
}

void Station::SetResultsStore(const QString& url) {
    resultsUrl_ = url;
}

ResultsWindow* Station::OpenResultsWindow() {
    if (resultsWindow_ == nullptr) {
        store::Target target;
        QString error;
        auto connection = std::make_unique<store::Connection>();
        if (!store::ParseUrl(resultsUrl_, target, error) || !connection->Open(target, error)) {
            AppendLog("Results: " + error, 0);
            return nullptr;
        }
        results_ = std::move(connection);
        resultsWindow_ = new ResultsWindow(results_->Db(), target.Display(), this);
    }
    resultsWindow_->show();
    resultsWindow_->raise();
    return resultsWindow_;
}

bool Station::SaveLog(const QString& path) const {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) return false;
    const QByteArray text = log_->toPlainText().toUtf8() + "\n";
    return file.write(text) == text.size() && file.flush();
}

bool Station::StartHciTrace(const QString& chosen) {
    StopHciTrace();
    const QString path = QFileInfo(chosen).absoluteFilePath();
    trace_ = std::make_unique<bttrace::BtsnoopWriter>();
    if (!trace_->Open(QFile::encodeName(path).toStdString())) {
        AppendLog("HCI trace: cannot record to " + path + ": " +
                      QString::fromStdString(trace_->Error()),
                  0);
        trace_.reset();
        return false;
    }
    SetHciTraceWriter(trace_.get(), [this](const std::string& text, bool error) {
        AppendLog(QString::fromStdString(text), error ? 0 : 1);
        if (error) StopHciTrace();
    });
    traceAction_->setText("Stop HCI &trace");
    AppendLog("HCI trace: recording to " + path, 1);
    return true;
}

void Station::StopHciTrace() {
    if (!trace_) return;
    SetHciTraceWriter(nullptr, nullptr);
    if (trace_->IsOpen())
        AppendLog(QString("HCI trace: stopped, %1 records in ").arg(trace_->Records()) +
                      QFile::decodeName(trace_->Path().c_str()),
                  1);
    trace_.reset();
    traceAction_->setText("Record HCI &trace...");
}

bool Station::RecordingHciTrace() const {
    return trace_ && trace_->IsOpen();
}

void Station::AppendLog(const QString& text, uint8_t flag) {
    QTextCharFormat format;
    format.setForeground(flag == 0 ? QColor(Qt::red) : palette().color(QPalette::Text));
    QTextCursor cursor(log_->document());
    cursor.movePosition(QTextCursor::End);
    if (!log_->document()->isEmpty()) cursor.insertBlock();
    const QString stamp = QDateTime::currentDateTime().toString("HH:mm:ss.zzz ");
    // A line may hold line breaks of its own; each piece keeps the stamp's indentation.
    cursor.insertText(stamp + QString(text).replace('\n', "\n" + QString(stamp.size(), ' ')),
                      format);
    log_->ensureCursorVisible();
}

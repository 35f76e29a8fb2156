#pragma once
// The station: a main window with an MDI area for the plug-in's form and a log pane.

#include <QMainWindow>
#include <QString>
#include <memory>

#include "host/host_table.h"
#include "host/plugin_loader.h"

class QAction;
class QMdiArea;
class QPlainTextEdit;
class QTimer;
class ResultsWindow;
class SerialLink;
namespace bttrace {
class BtsnoopWriter;
}
namespace store {
class Connection;
}

class Station : public QMainWindow {
    Q_OBJECT
public:
    explicit Station(QWidget* parent = nullptr);
    ~Station() override;

    // Talks to a phone on `device` instead of the built-in simulator. Call before
    // LoadPlugin: the plug-in copies the table. Tries to open the port at once and keeps
    // trying to reopen it while it is lost.
    void UseSerialPort(const QString& device, qint32 baud);
    SerialLink* Link() const { return link_.get(); }

    // Loads the plug-in and hands it the table, the log callback and the link handle.
    bool LoadPlugin(const QString& path);
    void OpenBluetoothWindow();
    void CloseBluetoothWindow();
    bool SaveLog(const QString& path) const;

    // Records the HCI page's commands and the chip's answers, on either protocol, into a
    // btsnoop file (File > "Record HCI trace..."; the same entry stops it). False when the
    // file cannot be created; the log says why.
    bool StartHciTrace(const QString& path);
    void StopHciTrace();
    bool RecordingHciTrace() const;
    QAction* HciTraceAction() const { return traceAction_; }

    // The results store of the Results window (File > "Results..."): "sqlite:PATH" or
    // "postgresql://HOST/DB", by default sqlite:results/results.sqlite. Opened with the window.
    void SetResultsStore(const QString& url);
    // Opens or raises the window; nullptr, with the reason in the log, when the store cannot be
    // opened.
    ResultsWindow* OpenResultsWindow();

    QMdiArea* MdiArea() const { return mdi_; }
    QPlainTextEdit* LogPane() const { return log_; }
    const PluginLoader& Plugin() const { return plugin_; }

    // A log line as the plug-in sends it; flag 0 lines are the plug-in's error lines.
    void AppendLog(const QString& text, uint8_t flag);

private:
    QMdiArea* mdi_ = nullptr;
    QPlainTextEdit* log_ = nullptr;
    PluginLoader plugin_;
    HostTable table_;
    std::unique_ptr<SerialLink> link_;
    QTimer* reopen_ = nullptr;
    QAction* traceAction_ = nullptr;
    std::unique_ptr<bttrace::BtsnoopWriter> trace_;
    QString resultsUrl_;
    std::unique_ptr<store::Connection> results_;
    ResultsWindow* resultsWindow_ = nullptr;
};

#pragma once

#include "platform/Sinks.h"
#include "settings/Options.h"

#include <QMainWindow>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class QAction;
class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QRadioButton;
class QSystemTrayIcon;

namespace tavor1 {

class Driver;
class RollView;
class Simulation;

// fTavor1: the main window, a view of the options model and of the driver's
// state. Its controls carry the driver's names as object names. The driver
// never reads a widget: every control writes its value into the model when it
// changes, and the window paints what the driver reports.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    MainWindow(Driver& driver, Simulation* simulation = nullptr, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Loads the driver, fills the controls from the model and puts the icon
    // in the notification area (or shows the window where there is none).
    void start();

    // Restores the window from the tray.
    void ShowMainWindow();

    // Message boxes owned by the window (modal, Windows-1252 text).
    static std::unique_ptr<MessageSink> makeMessageSink();

    QSystemTrayIcon* trayIcon() const { return m_tray; }
    // The notification-area tip, kept also where there is no notification area.
    const QString& trayTip() const { return m_trayTip; }
    // The simulated paper roll, once opened from the menu.
    RollView* rollView() const { return m_rollView; }

    // "T&ermina Tavor1": the closing sequence behind the closing notice.
    void terminate();

protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void buildMenus();
    void buildTray();
    void fillFromModel();
    void showOptionsFromModel();
    // Frame2, Frame6, Frame3 and Frame4 ("Messaggi") are disabled while a
    // channel box is ticked.
    void lockFrames(bool channelInService);
    void setTrayState(bool busy);
    void connectDriver();
    void setLamp(QFrame* lamp, bool green);
    void setText(QLineEdit* box, const std::string& text);
    void showAbout();
    void openManual();
    void openPrinterPage();
    void showRoll();
    void validateIP();
    void resetConnection();
    void onJobStarted();
    void onJobFinished();

    Driver& m_driver;
    Simulation* m_simulation;
    QSystemTrayIcon* m_tray = nullptr;
    QMenu* m_fileMenu = nullptr;
    QString m_trayTip;
    bool m_closing = false;
    // The reset button's wait runs the event loop: a second click meanwhile is ignored.
    bool m_resetting = false;

    std::array<QCheckBox*, 4> m_check{};
    // The option check boxes and the model member each one shows.
    std::vector<std::pair<QCheckBox*, bool Options::*>> m_optionBoxes;
    std::array<QFrame*, 4> m_channelLamp{};
    std::array<QLineEdit*, 4> m_dumpState{}; // Text4..Text7
    QCheckBox* m_chbInversioneScontiSuReso = nullptr;
    QLineEdit* m_text1 = nullptr;
    QLineEdit* m_text2 = nullptr;
    QLineEdit* m_text3 = nullptr;
    QLineEdit* m_text8 = nullptr;
    QLineEdit* m_txtRemoteIP = nullptr;
    QLineEdit* m_txtTimerVal = nullptr;
    QLineEdit* m_txtAppDataVista = nullptr;
    QComboBox* m_cboToutConn = nullptr;
    QFrame* m_shapeConn = nullptr;
    QPushButton* m_cmdValidateIP = nullptr;
    QPushButton* m_cmdResetConn = nullptr;
    QPushButton* m_cmbFile = nullptr;
    QPushButton* m_annullo = nullptr;
    QPushButton* m_setTimer = nullptr;
    QRadioButton* m_optionFast = nullptr;
    QRadioButton* m_optionSlow = nullptr;
    QRadioButton* m_optNonFiscal = nullptr;
    QRadioButton* m_optFiscal = nullptr;
    QGroupBox* m_frame2 = nullptr;
    QGroupBox* m_frame3 = nullptr;
    QGroupBox* m_frame4 = nullptr;
    QGroupBox* m_frame6 = nullptr;
    RollView* m_rollView = nullptr;
};

} // namespace tavor1

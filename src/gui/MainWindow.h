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
class QLayout;
class QLineEdit;
class QMenu;
class QPushButton;
class QRadioButton;
class QSystemTrayIcon;

namespace tavor1 {

class Driver;
class RollView;
class Simulation;
struct OptionRow;

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
    void showMainWindow();

    // Message boxes owned by the window (modal, Windows-1252 text).
    static std::unique_ptr<MessageSink> makeMessageSink();

    QSystemTrayIcon* trayIcon() const { return m_tray; }
    // The notification-area tip, kept also where there is no notification area.
    const QString& trayTip() const { return m_trayTip; }
    // The simulated paper roll, once opened from the menu.
    RollView* rollView() const { return m_rollView.get(); }

    // "T&ermina Tavor1": the closing sequence behind the closing notice.
    void terminate();

    // One item of the window's menus.
    struct MenuItem {
        const char* name; // the item's object name, e.g. "m_esci"
        const char* caption;
        void (MainWindow::*handler)();
        // Only beside the simulated register; a separator follows these items.
        bool simulationOnly = false;
        // The item a double click on the menu runs, bold in the tray's pop-up.
        bool isDefault = false;
    };
    struct Menu {
        const char* name; // the menu's object name, e.g. "m_file"
        const char* caption;
        std::vector<MenuItem> items;
    };
    // The menu bar, left to right. The first menu, "&File", is also the pop-up
    // of a right click on the tray icon.
    static const std::vector<Menu>& menus();

protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // One builder per frame of the window: each makes its frame's controls,
    // keeps the ones the window talks to later and wires them to the driver.
    void buildControls();
    QGroupBox* buildChannelFrame(QWidget* parent);
    QGroupBox* buildConfigurationFrame(QWidget* parent);
    QGroupBox* buildInvoiceFrame(QWidget* parent);
    QGroupBox* buildOtherOptionsFrame(QWidget* parent);
    QGroupBox* buildPollModeFrame(QWidget* parent);
    QGroupBox* buildMessagesFrame(QWidget* parent);
    QLayout* buildJobButtons(QWidget* parent);
    // An option check box showing the option table's row `name`.
    QCheckBox* addOptionBox(const char* name, const char* toolTip, QWidget* frame);
    void setTabChain();
    void buildMenus();
    void buildTray();
    void fillFromModel();
    void showOptionsFromModel();
    // "Configurazione Programma", "Altre Opzioni", "Impostazioni " and
    // "Messaggi" are disabled while a channel box is ticked.
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

    // "Porte di comunicazione": per channel the box that puts it in service
    // (Check1..Check4), its lamp and its dump-state box (Text4..Text7).
    std::array<QCheckBox*, 4> m_channelBoxes{};
    std::array<QFrame*, 4> m_channelLamps{};
    std::array<QLineEdit*, 4> m_dumpStateBoxes{};

    // "Configurazione Programma".
    QGroupBox* m_configurationFrame = nullptr;
    QLineEdit* m_txtRemoteIP = nullptr;
    QPushButton* m_validateAddressButton = nullptr;
    QFrame* m_connectionLamp = nullptr;
    QComboBox* m_cboToutConn = nullptr;
    QPushButton* m_resetConnectionButton = nullptr;
    QRadioButton* m_optNonFiscal = nullptr;
    QRadioButton* m_optFiscal = nullptr;

    // "Altre Opzioni".
    QGroupBox* m_otherOptionsFrame = nullptr;
    QCheckBox* m_chbInversioneScontiSuReso = nullptr;

    // The option check boxes of both frames, in tab order, and the option
    // table's row each one shows.
    std::vector<std::pair<QCheckBox*, const OptionRow*>> m_optionBoxes;

    // "Impostazioni ": poll mode and timer.
    QGroupBox* m_pollModeFrame = nullptr;
    QRadioButton* m_optionFast = nullptr;
    QRadioButton* m_optionSlow = nullptr;
    QLineEdit* m_txtTimerVal = nullptr;
    QPushButton* m_setTimerButton = nullptr;
    QLineEdit* m_timerStateBox = nullptr; // Text3

    // "Messaggi": what the register and the program report.
    QGroupBox* m_messagesFrame = nullptr;
    QLineEdit* m_registerMessageBox = nullptr; // Text1
    QLineEdit* m_programStatusBox = nullptr; // Text2
    QLineEdit* m_serialNumberBox = nullptr; // Text8
    QLineEdit* m_dataDirBox = nullptr; // txtAppDataVista

    QPushButton* m_testReceiptButton = nullptr; // CMBFile
    QPushButton* m_cancelDocumentButton = nullptr; // Annullo

    // The roll is a window of its own, not a child of this one: it stays open
    // beside the driver while the main window hides in the tray. Being no
    // child, it is owned here and goes with the main window.
    std::unique_ptr<RollView> m_rollView;
};

} // namespace tavor1

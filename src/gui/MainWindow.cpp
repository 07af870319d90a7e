#include "gui/MainWindow.h"

#include "driver/Driver.h"
#include "driver/JobCycle.h"
#include "driver/Simulation.h"
#include "gui/AboutWindow.h"
#include "gui/ClosingNotice.h"
#include "gui/RollView.h"
#include "platform/ByteFiles.h"
#include "platform/Cp1252.h"
#include "settings/IpAddress.h"
#include "settings/OptionTable.h"
#include "settings/Options.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QUrl>

#include <string_view>

namespace tavor1 {

namespace {

constexpr const char* kTitle = "Tavor1";
constexpr const char* kCaption = "Zef_Tavor1 per Custom  vers. RETE                  RT  V7";
constexpr const char* kIdleTip = "Tavor1 in attesa esecuzione...";
constexpr const char* kBusyTip = "Tavor1 in esecuzione...";
constexpr const char* kValidateCaption = "Valida IP";
constexpr const char* kResetCaption = "Reset Connessione";

QString toQ(const std::string& cp1252)
{
    return QString::fromStdString(cp1252ToUtf8(cp1252));
}

// Texts typed into the window go back into the model as Windows-1252 bytes.
std::string fromQ(const QString& text)
{
    return utf8ToCp1252(text.toStdString());
}

class WindowMessageSink final : public MessageSink {
public:
    void showMessage(const std::string& text) override
    {
        QMessageBox::information(QApplication::activeWindow(), kTitle, toQ(text));
    }
};

struct OptionBox {
    const char* name; // the control's name, a row of the option table
    const char* toolTip = nullptr;
};

// The option check boxes of "Configurazione Programma", top to bottom.
const OptionBox kProgramOptions[] = {
    {"chbTrace"}, {"chbConvXonXoff"}, {"chkDisableDisplay"}, {"chkCodFisc"}, {"chbDescrizione"},
};

// The option check boxes of "Altre Opzioni", column by column.
const OptionBox kOtherOptions[] = {
    {"chbPagamentiEstesi"},
    {"chbInversioneScontiSuReso"},
    {"chbAbilRistampaDaErroreSocket"},
    {"chbNoInviaApCassetto"},
    {"chbDisabTotalizzatori", "Disabilita richiesta dati dei totalizzatori a fine scontrino"},
    {"chkForzaIntestazioneFattura"},
    {"CheckLogPagamento"},
    {"CheckStampaLogo"},
    {"chbMatricola"},
};

// What the window shows for an option: the caption or label the option
// table keeps beside the option's name, so the window and the option listing
// of the command line never disagree.
QString optionCaption(const char* name)
{
    const OptionRow* row = findOptionRow(name);
    return row ? QString::fromStdString(cp1252ToUtf8(row->caption)) : QString(name);
}

QLineEdit* statusBox(const QString& name, const char* toolTip, QWidget* parent)
{
    auto* box = new QLineEdit(parent);
    box->setObjectName(name);
    box->setReadOnly(true);
    box->setFocusPolicy(Qt::NoFocus);
    if (toolTip)
        box->setToolTip(toolTip);
    return box;
}

// Wide enough for the longest text the box is given.
void fitText(QLineEdit* box, const QString& longest)
{
    box->setMinimumWidth(box->fontMetrics().horizontalAdvance(longest) + 16);
}

QFrame* lamp(const QString& name, QWidget* parent)
{
    auto* f = new QFrame(parent);
    f->setObjectName(name);
    f->setFixedSize(16, 16);
    f->setFrameShape(QFrame::Box);
    f->setAutoFillBackground(true);
    return f;
}

// The program's icon, drawn so that it shows on any desktop theme: the idle
// one in blue, the one of a running job (Image1) in orange.
QIcon programIcon(const QColor& colour)
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(colour);
    painter.setPen(colour.darker(150));
    painter.drawRoundedRect(QRectF(1.5, 1.5, 29, 29), 6, 6);
    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(15);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(pixmap.rect(), Qt::AlignCenter, "T1");
    return QIcon(pixmap);
}

QIcon idleIcon()
{
    return programIcon(QColor(0x1f, 0x5f, 0xbf));
}

QIcon busyIcon()
{
    return programIcon(QColor(0xe0, 0x7b, 0x00));
}

} // namespace

std::unique_ptr<MessageSink> MainWindow::makeMessageSink()
{
    return std::make_unique<WindowMessageSink>();
}

MainWindow::MainWindow(Driver& driver, Simulation* simulation, QWidget* parent)
    : QMainWindow(parent), m_driver(driver), m_simulation(simulation), m_trayTip(kIdleTip)
{
    setObjectName("fTavor1");
    setWindowTitle(kCaption);
    setWindowIcon(idleIcon());
    buildControls();
    buildMenus();
    connectDriver();
}

MainWindow::~MainWindow() = default;

void MainWindow::buildControls()
{
    auto* central = new QWidget(this);
    auto* grid = new QGridLayout(central);
    grid->setContentsMargins(10, 8, 10, 10);
    grid->setSpacing(8);
    setCentralWidget(central);

    grid->addWidget(buildChannelFrame(central), 0, 0);
    grid->addWidget(buildPollModeFrame(central), 1, 0);
    grid->addWidget(buildConfigurationFrame(central), 0, 1, 2, 1);
    grid->addWidget(buildOtherOptionsFrame(central), 2, 0, 1, 2);
    grid->addWidget(buildMessagesFrame(central), 3, 0, 1, 2);
    grid->addLayout(buildJobButtons(central), 4, 0, 1, 2);
    grid->setRowStretch(1, 1);
    grid->setColumnStretch(1, 1);
    // The layout keeps the window at least as large as its controls' minimum
    // sizes; the status boxes have minimum widths that fit their texts.
    setTabChain();
}

QGroupBox* MainWindow::buildChannelFrame(QWidget* parent)
{
    auto* frame = new QGroupBox("Porte di comunicazione", parent);
    frame->setObjectName("Frame1");
    auto* layout = new QGridLayout(frame);
    layout->setHorizontalSpacing(6);
    for (int n = 1; n <= 4; ++n) {
        auto* label = new QLabel(QStringLiteral("COM %1").arg(n), frame);
        auto* box = new QCheckBox(frame);
        box->setObjectName(QStringLiteral("Check%1").arg(n));
        box->setToolTip(QStringLiteral("Abilita / disabilita COM%1").arg(n));
        label->setBuddy(box);
        auto* channelLamp = lamp(QStringLiteral("ShapeCom%1").arg(n), frame);
        channelLamp->setToolTip(QStringLiteral("Verde, se COM%1 disponibile").arg(n));
        auto* dump = statusBox(QStringLiteral("Text%1").arg(n + 3), nullptr, frame);
        dump->setToolTip(QStringLiteral("Segnala se DUMP ricevuto su COM%1").arg(n));
        fitText(dump, "DUMP NON ESEGUITONO RICEZIONE");
        layout->addWidget(label, n - 1, 0);
        layout->addWidget(box, n - 1, 1);
        layout->addWidget(channelLamp, n - 1, 2);
        layout->addWidget(dump, n - 1, 3);
        m_channelBoxes[n - 1] = box;
        m_channelLamps[n - 1] = channelLamp;
        m_dumpStateBoxes[n - 1] = dump;
        connect(box, &QCheckBox::toggled, this, [this, n](bool on) { m_driver.cycle().setChannelEnabled(n, on); });
    }
    layout->setColumnStretch(3, 1);
    return frame;
}

QGroupBox* MainWindow::buildConfigurationFrame(QWidget* parent)
{
    m_configurationFrame = new QGroupBox("Configurazione Programma", parent);
    QGroupBox* frame = m_configurationFrame;
    frame->setObjectName("Frame2");
    auto* layout = new QGridLayout(frame);

    // The register's address.
    auto* addressLabel = new QLabel(optionCaption("txtRemoteIP"), frame);
    m_txtRemoteIP = new QLineEdit(frame);
    m_txtRemoteIP->setObjectName("txtRemoteIP");
    m_txtRemoteIP->setMaxLength(64);
    fitText(m_txtRemoteIP, "255.255.255.255");
    addressLabel->setBuddy(m_txtRemoteIP);
    m_validateAddressButton = new QPushButton(kValidateCaption, frame);
    m_validateAddressButton->setObjectName("cmdValidateIP");
    m_validateAddressButton->setToolTip("Validazione Indirizzo IP");
    m_connectionLamp = lamp("ShapeConn", frame);
    layout->addWidget(addressLabel, 0, 0);
    layout->addWidget(m_txtRemoteIP, 0, 1);
    layout->addWidget(m_validateAddressButton, 0, 2);
    layout->addWidget(m_connectionLamp, 0, 3);
    connect(m_txtRemoteIP, &QLineEdit::editingFinished, this,
            [this] { m_driver.setRemoteIP(fromQ(m_txtRemoteIP->text().trimmed())); });
    connect(m_validateAddressButton, &QPushButton::clicked, this, &MainWindow::validateIP);

    // The connection: its time-out and the button that starts it again.
    auto* timeoutLabel = new QLabel(optionCaption("cboToutConn"), frame);
    m_cboToutConn = new QComboBox(frame);
    m_cboToutConn->setObjectName("cboToutConn");
    m_cboToutConn->setToolTip("Timeout in sec. di attesa Connessione");
    m_cboToutConn->addItems({"10 sec.", "20 sec.", "30 sec.", "40 sec.", "50 sec.", "60 sec."});
    timeoutLabel->setBuddy(m_cboToutConn);
    m_resetConnectionButton = new QPushButton(kResetCaption, frame);
    m_resetConnectionButton->setObjectName("cmdResetConn");
    m_resetConnectionButton->setToolTip("Chiude e Riavvia la connessione di Rete");
    // Wide enough for its caption while the connection closes.
    m_resetConnectionButton->setMinimumWidth(m_resetConnectionButton->sizeHint().width());
    layout->addWidget(timeoutLabel, 1, 0);
    layout->addWidget(m_cboToutConn, 1, 1);
    layout->addWidget(m_resetConnectionButton, 1, 2);
    connect(m_cboToutConn, &QComboBox::currentIndexChanged, this,
            [this](int index) { m_driver.options().cboToutConn = index; });
    connect(m_resetConnectionButton, &QPushButton::clicked, this, &MainWindow::resetConnection);

    int row = 2;
    for (const OptionBox& o : kProgramOptions)
        layout->addWidget(addOptionBox(o.name, o.toolTip, frame), row++, 0, 1, 4);
    layout->addWidget(buildInvoiceFrame(frame), row++, 0, 1, 4);
    layout->setRowStretch(row, 1);
    layout->setColumnStretch(1, 1);
    return frame;
}

QGroupBox* MainWindow::buildInvoiceFrame(QWidget* parent)
{
    auto* frame = new QGroupBox("Gest. Fatture su Scontrino", parent);
    frame->setObjectName("FrameFatture");
    auto* layout = new QHBoxLayout(frame);
    m_optNonFiscal = new QRadioButton(optionCaption("OptNonFiscal"), frame);
    m_optNonFiscal->setObjectName("OptNonFiscal");
    m_optFiscal = new QRadioButton("Input Fiscale", frame);
    m_optFiscal->setObjectName("OptFiscal");
    layout->addWidget(m_optNonFiscal);
    layout->addWidget(m_optFiscal);
    layout->addStretch(1);
    connect(m_optNonFiscal, &QRadioButton::toggled, this, [this](bool on) { m_driver.options().OptNonFiscal = on; });
    return frame;
}

QGroupBox* MainWindow::buildOtherOptionsFrame(QWidget* parent)
{
    m_otherOptionsFrame = new QGroupBox("Altre Opzioni", parent);
    QGroupBox* frame = m_otherOptionsFrame;
    frame->setObjectName("Frame6");
    // Three rows under the other frames, so the window fits a 1024-pixel screen.
    auto* layout = new QGridLayout(frame);
    int count = 0;
    for (const OptionBox& o : kOtherOptions) {
        layout->addWidget(addOptionBox(o.name, o.toolTip, frame), count % 3, count / 3);
        ++count;
    }
    return frame;
}

QCheckBox* MainWindow::addOptionBox(const char* name, const char* toolTip, QWidget* frame)
{
    auto* box = new QCheckBox(optionCaption(name), frame);
    box->setObjectName(name);
    if (toolTip)
        box->setToolTip(toolTip);
    if (const OptionRow* row = findOptionRow(name)) {
        connect(box, &QCheckBox::toggled, this, [this, row](bool on) { row->set(m_driver.options(), on ? "1" : "0"); });
        m_optionBoxes.emplace_back(box, row);
    }
    if (std::string_view(name) == "chbInversioneScontiSuReso")
        m_chbInversioneScontiSuReso = box;
    return box;
}

QGroupBox* MainWindow::buildPollModeFrame(QWidget* parent)
{
    m_pollModeFrame = new QGroupBox("Impostazioni ", parent);
    QGroupBox* frame = m_pollModeFrame;
    frame->setObjectName("Frame3");
    auto* layout = new QGridLayout(frame);
    m_optionFast = new QRadioButton(optionCaption("OptionFAST"), frame);
    m_optionFast->setObjectName("OptionFAST");
    m_optionSlow = new QRadioButton("Timer    (Slow)", frame);
    m_optionSlow->setObjectName("OptionSLOW");
    m_txtTimerVal = new QLineEdit(frame);
    m_txtTimerVal->setObjectName("txtTimerVal");
    m_txtTimerVal->setToolTip(optionCaption("txtTimerVal"));
    m_txtTimerVal->setMaxLength(9);
    fitText(m_txtTimerVal, "600000");
    m_setTimerButton = new QPushButton("Set timer", frame);
    m_setTimerButton->setObjectName("cmdSetTimer");
    m_setTimerButton->setToolTip("Cliccare per settare il timer");
    m_timerStateBox = statusBox("Text3", nullptr, frame);
    m_timerStateBox->setAlignment(Qt::AlignCenter);
    layout->addWidget(m_optionFast, 0, 0);
    layout->addWidget(m_optionSlow, 1, 0);
    layout->addWidget(m_txtTimerVal, 0, 1);
    layout->addWidget(m_setTimerButton, 1, 1);
    layout->addWidget(m_timerStateBox, 2, 0, 1, 2);
    layout->setRowStretch(3, 1);

    connect(m_optionFast, &QRadioButton::clicked, this, [this] { m_driver.cycle().selectFast(); });
    connect(m_optionSlow, &QRadioButton::clicked, this, [this] { m_driver.cycle().selectSlow(); });
    connect(m_setTimerButton, &QPushButton::clicked, this, [this] {
        m_driver.setTimer(fromQ(m_txtTimerVal->text()));
        // The box shows the value taken ("60" for 75 seconds).
        m_txtTimerVal->setText(toQ(m_driver.options().txtTimerVal));
    });
    return frame;
}

QGroupBox* MainWindow::buildMessagesFrame(QWidget* parent)
{
    // What the register and the program report, in read-only boxes. The frame
    // is disabled with the configuration frames while a channel serves; a
    // disabled box still shows its text.
    m_messagesFrame = new QGroupBox("Messaggi", parent);
    QGroupBox* frame = m_messagesFrame;
    frame->setObjectName("Frame4");
    auto* layout = new QGridLayout(frame);
    m_registerMessageBox = statusBox("Text1", "Messaggi ricevuti da ECR", frame);
    m_programStatusBox = statusBox("Text2", "Stato del programma", frame);
    m_serialNumberBox = statusBox("Text8", "Matricola", frame);
    m_dataDirBox = statusBox("txtAppDataVista", nullptr, frame);
    const std::pair<const char*, QLineEdit*> rows[] = {{"Messaggi ricevuti da ECR", m_registerMessageBox},
                                                       {"Stato del programma", m_programStatusBox},
                                                       {"Matricola", m_serialNumberBox},
                                                       {"Path Scambio  Dati ", m_dataDirBox}};
    int row = 0;
    for (const auto& [caption, box] : rows) {
        auto* label = new QLabel(caption, frame);
        if (box == m_dataDirBox)
            label->setObjectName("lblPathScambioDati");
        layout->addWidget(label, row, 0);
        layout->addWidget(box, row++, 1);
    }
    layout->setColumnStretch(1, 1);
    return frame;
}

QLayout* MainWindow::buildJobButtons(QWidget* parent)
{
    // No parent: the layout it is added to takes it.
    auto* layout = new QHBoxLayout;
    m_testReceiptButton = new QPushButton(" Esegui Test", parent);
    m_testReceiptButton->setObjectName("CMBFile");
    m_testReceiptButton->setToolTip("Esegue scontrino di prova per test collegamento");
    m_cancelDocumentButton = new QPushButton("Annullla Doc", parent);
    m_cancelDocumentButton->setObjectName("Annullo");
    layout->addWidget(m_testReceiptButton);
    layout->addWidget(m_cancelDocumentButton);
    layout->addStretch(1);
    connect(m_testReceiptButton, &QPushButton::clicked, this, [this] { m_driver.cycle().runTestReceipt(); });
    connect(m_cancelDocumentButton, &QPushButton::clicked, this, [this] { m_driver.cancelDocument(); });
    return layout;
}

void MainWindow::setTabChain()
{
    // The order operators have always tabbed in: the channels, the address and
    // the connection, every option check box ("Altre Opzioni" included), and
    // only then the invoice input, the poll mode and the job buttons.
    std::vector<QWidget*> chain(m_channelBoxes.begin(), m_channelBoxes.end());
    chain.insert(chain.end(), {m_txtRemoteIP, m_validateAddressButton, m_cboToutConn, m_resetConnectionButton});
    for (const auto& [box, row] : m_optionBoxes)
        chain.push_back(box);
    chain.insert(chain.end(), {m_optNonFiscal, m_optFiscal, m_optionFast, m_optionSlow, m_txtTimerVal, m_setTimerButton,
                               m_testReceiptButton, m_cancelDocumentButton});
    for (std::size_t i = 1; i < chain.size(); ++i)
        QWidget::setTabOrder(chain[i - 1], chain[i]);
}

const std::vector<MainWindow::Menu>& MainWindow::menus()
{
    static const std::vector<Menu> menus = {
        {"m_file",
         "&File",
         {{"m_roll", "Rotolo simulato", &MainWindow::showRoll, true},
          {"m_esci", "T&ermina Tavor1", &MainWindow::terminate, false, true}}},
        {"m_help",
         "&?",
         {{"m_manual", "&Manuale Tavor1", &MainWindow::openManual},
          {"m_printer", "&Info Stampante", &MainWindow::openPrinterPage},
          {"m_info", "&Informazioni  su  Tavor1", &MainWindow::showAbout}}},
    };
    return menus;
}

void MainWindow::buildMenus()
{
    for (const Menu& m : menus()) {
        QMenu* menu = menuBar()->addMenu(m.caption);
        menu->setObjectName(m.name);
        if (!m_fileMenu)
            m_fileMenu = menu;
        bool afterSimulationItems = false;
        for (const MenuItem& item : m.items) {
            if (item.simulationOnly && !m_simulation)
                continue;
            if (afterSimulationItems && !item.simulationOnly)
                menu->addSeparator();
            afterSimulationItems = item.simulationOnly;
            QAction* action = menu->addAction(item.caption, this, item.handler);
            action->setObjectName(item.name);
            if (item.isDefault)
                menu->setDefaultAction(action);
        }
    }
}

void MainWindow::buildTray()
{
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return;
    m_tray = new QSystemTrayIcon(windowIcon(), this);
    m_tray->setToolTip(m_trayTip);
    // A right click opens the "&File" menu, "T&ermina Tavor1" its default item.
    m_tray->setContextMenu(m_fileMenu);
    connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::DoubleClick)
            showMainWindow();
    });
    m_tray->show();
}

void MainWindow::connectDriver()
{
    JobCycle& cycle = m_driver.cycle();
    connect(&cycle, &JobCycle::statusText, this, [this](const std::string& t) { setText(m_programStatusBox, t); });
    connect(&m_driver, &Driver::statusText, this, [this](const std::string& t) { setText(m_programStatusBox, t); });
    connect(&cycle, &JobCycle::timerStateText, this, [this](const std::string& t) { setText(m_timerStateBox, t); });
    connect(&cycle, &JobCycle::registerMessage, this,
            [this](const std::string& t) { setText(m_registerMessageBox, t); });
    connect(&cycle, &JobCycle::timerBoxVisible, this, [this](bool visible) {
        m_txtTimerVal->setVisible(visible);
        m_setTimerButton->setVisible(visible);
    });
    connect(&cycle, &JobCycle::watchStarted, this, [this] { m_pollModeFrame->setTitle("Stato del collegamento"); });
    connect(&cycle, &JobCycle::jobStarted, this, &MainWindow::onJobStarted);
    connect(&cycle, &JobCycle::jobFinished, this, &MainWindow::onJobFinished);
    // An RT register turns extended payments on and the inversion of
    // discounts on returns off: the boxes show what the model now holds.
    connect(&cycle, &JobCycle::identificationFinished, this, [this] { showOptionsFromModel(); });
    connect(&cycle, &JobCycle::channelsInService, this, [this](bool any) { lockFrames(any); });
    connect(&cycle, &JobCycle::testButtonsEnabled, this, [this](bool on) {
        m_testReceiptButton->setEnabled(on);
        m_cancelDocumentButton->setEnabled(on);
    });
    connect(&m_driver, &Driver::dumpStateText, this, [this](int channel, const std::string& t) {
        if (channel >= 1 && channel <= 4 && m_driver.state().windowShown)
            setText(m_dumpStateBoxes[channel - 1], t);
    });
    connect(&m_driver, &Driver::serialNumberChanged, this,
            [this](const std::string& s) { setText(m_serialNumberBox, s); });
    connect(&m_driver.connection(), &RegisterConnection::lampChanged, this,
            [this](bool connected) { setLamp(m_connectionLamp, connected); });
    connect(&m_driver.connection(), &RegisterConnection::resetCaption, this,
            [this](const QString& caption) { m_resetConnectionButton->setText(caption); });
    if (m_simulation)
        connect(m_simulation, &Simulation::documentPrinted, this, [this](const QString& text) {
            if (m_rollView)
                m_rollView->appendDocument(text);
        });
}

void MainWindow::start()
{
    // The splash is loaded and unloaded around the loading, never shown.
    m_driver.load();
    fillFromModel();
    buildTray();
    if (!m_tray)
        showMainWindow(); // no notification area: the window is the only way in
}

void MainWindow::fillFromModel()
{
    const Options& o = m_driver.options();
    // Painting the model must not write back into it through the handlers.
    const QSignalBlocker blockers[] = {QSignalBlocker(m_channelBoxes[0]), QSignalBlocker(m_channelBoxes[1]),
                                       QSignalBlocker(m_channelBoxes[2]), QSignalBlocker(m_channelBoxes[3]),
                                       QSignalBlocker(m_cboToutConn)};
    for (int n = 0; n < 4; ++n) {
        m_channelBoxes[n]->setChecked(o.channelEnabled[n]);
        setLamp(m_channelLamps[n], true);
    }
    showOptionsFromModel();
    m_txtRemoteIP->setText(toQ(o.txtRemoteIP));
    m_cboToutConn->setCurrentIndex(o.cboToutConn);
    m_optionFast->setChecked(o.OptionFAST);
    m_optionSlow->setChecked(!o.OptionFAST);
    m_txtTimerVal->setText(toQ(o.txtTimerVal));
    m_txtTimerVal->setVisible(!o.OptionFAST);
    m_setTimerButton->setVisible(!o.OptionFAST);
    m_dataDirBox->setText(toQ(m_driver.config().dataDir));
    setLamp(m_connectionLamp, false);
    lockFrames(o.channelEnabled[0] || o.channelEnabled[1] || o.channelEnabled[2] || o.channelEnabled[3]);
}

void MainWindow::lockFrames(bool channelInService)
{
    for (QGroupBox* f : {m_configurationFrame, m_otherOptionsFrame, m_pollModeFrame, m_messagesFrame})
        f->setEnabled(!channelInService);
}

void MainWindow::showOptionsFromModel()
{
    const Options& o = m_driver.options();
    for (const auto& [box, row] : m_optionBoxes) {
        const QSignalBlocker blocker(box);
        box->setChecked(row->get(o) == "1");
    }
    {
        const QSignalBlocker a(m_optNonFiscal), b(m_optFiscal);
        m_optNonFiscal->setChecked(o.OptNonFiscal);
        m_optFiscal->setChecked(!o.OptNonFiscal);
    }
    // An RT register has no use for the inversion of discounts on returns.
    m_chbInversioneScontiSuReso->setVisible(!m_driver.facts().registerIsRT);
}

void MainWindow::showMainWindow()
{
    for (int n = 0; n < 4; ++n)
        setText(m_dumpStateBoxes[n], m_driver.state().channels[n].dumpPending ? "DUMP NON ESEGUITO" : "DUMP ESEGUITO");
    m_driver.state().windowShown = true;
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

void MainWindow::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && isMinimized() && m_tray) {
        m_driver.state().windowShown = false;
        QTimer::singleShot(0, this, &QWidget::hide);
    }
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    event->ignore();
    terminate();
}

void MainWindow::terminate()
{
    if (m_closing)
        return;
    m_closing = true;
    m_driver.state().windowShown = false;
    if (m_tray)
        m_tray->hide();
    if (m_rollView)
        m_rollView->hide();
    hide();
    // The closing sequence's pauses run the event loop, so the notice paints
    // and stays up until the sequence has ended.
    ClosingNotice notice(this);
    notice.show();
    notice.raise();
    m_driver.close();
}

void MainWindow::setLamp(QFrame* l, bool green)
{
    QPalette p = l->palette();
    p.setColor(QPalette::Window, green ? QColor(0, 255, 0) : QColor(255, 0, 0));
    l->setPalette(p);
}

void MainWindow::setText(QLineEdit* box, const std::string& text)
{
    box->setText(toQ(text));
    box->setCursorPosition(0);
}

void MainWindow::validateIP()
{
    // The verdict stands in the button's caption for two seconds. The caption
    // to restore is the fixed one: a second click meanwhile must not keep the
    // verdict for good.
    m_validateAddressButton->setText(validateIpAddress(fromQ(m_txtRemoteIP->text())) ? "IP OK" : "IP non Valido");
    QTimer::singleShot(2000, m_validateAddressButton, [b = m_validateAddressButton] { b->setText(kValidateCaption); });
}

void MainWindow::resetConnection()
{
    if (m_resetting)
        return;
    m_resetting = true;
    m_driver.setRemoteIP(fromQ(m_txtRemoteIP->text().trimmed()));
    m_driver.connection().resetConnection();
    m_resetConnectionButton->setText(kResetCaption);
    m_resetting = false;
}

void MainWindow::setTrayState(bool busy)
{
    m_trayTip = busy ? kBusyTip : kIdleTip;
    if (m_tray) {
        m_tray->setIcon(busy ? busyIcon() : windowIcon());
        m_tray->setToolTip(m_trayTip);
    }
}

void MainWindow::onJobStarted()
{
    setTrayState(true);
}

void MainWindow::onJobFinished()
{
    setTrayState(false);
}

void MainWindow::showAbout()
{
    AboutWindow about(ProgramVersion{}, this);
    about.exec();
}

void MainWindow::openManual()
{
    const std::string path = joinPath(m_driver.config().programDir, "mantavor1.pdf");
    if (fileExists(path))
        QDesktopServices::openUrl(QUrl::fromLocalFile(toQ(path)));
    else
        QMessageBox::information(this, kTitle, toQ("File: " + path + " non trovato"));
}

void MainWindow::openPrinterPage()
{
    const QString address = m_txtRemoteIP->text().trimmed();
    if (address.isEmpty())
        QMessageBox::information(this, kTitle, "Inserire Indirizzo IP Stampante");
    else
        QDesktopServices::openUrl(QUrl("http://" + address));
}

void MainWindow::showRoll()
{
    if (!m_rollView) {
        m_rollView = std::make_unique<RollView>();
        m_rollView->setWindowIcon(windowIcon());
        if (m_simulation)
            m_rollView->setRoll(QString::fromStdString(m_simulation->rollText()));
    }
    m_rollView->show();
    m_rollView->raise();
    m_rollView->activateWindow();
}

} // namespace tavor1

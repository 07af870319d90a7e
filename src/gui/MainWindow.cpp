#include "gui/MainWindow.h"

#include "gui/AboutWindow.h"
#include "gui/ClosingNotice.h"
#include "driver/Driver.h"
#include "driver/JobCycle.h"
#include "gui/RollView.h"
#include "driver/Simulation.h"
#include "platform/ByteFiles.h"
#include "platform/Cp1252.h"
#include "settings/IpAddress.h"
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

enum class OptionFrame { Program, Other };

struct OptionBox {
    const char* name;
    const char* caption;
    bool Options::*member;
    OptionFrame frame;
    const char* toolTip = nullptr;
};

// The option check boxes, in the order they stand in their frames.
const OptionBox kOptionBoxes[] = {
    {"chbTrace", "Abilita Trace di Comunicazione", &Options::chbTrace, OptionFrame::Program},
    {"chbConvXonXoff", "Conversione da XonXoff", &Options::chbConvXonXoff, OptionFrame::Program},
    {"chkDisableDisplay", "Disabilita Display Articoli", &Options::chkDisableDisplay, OptionFrame::Program},
    {"chkCodFisc", "Abilita Stampa CF/PIVA", &Options::chkCodFisc, OptionFrame::Program},
    {"chbDescrizione", "Abilita Descizione 44", &Options::chbDescrizione, OptionFrame::Program},
    {"chbPagamentiEstesi", "Abilita Estensione Pagamenti", &Options::chbPagamentiEstesi, OptionFrame::Other},
    {"chbInversioneScontiSuReso", "Abilita Inversione Sconti su Reso", &Options::chbInversioneScontiSuReso,
     OptionFrame::Other},
    {"chbAbilRistampaDaErroreSocket", "Abilita Ristampa da Errore di Rete ", &Options::chbAbilRistampaDaErroreSocket,
     OptionFrame::Other},
    {"chbNoInviaApCassetto", "Non Invia Apert. Cassetto da SW", &Options::chbNoInviaApCassetto, OptionFrame::Other},
    {"chbDisabTotalizzatori", "Disab.  Totalizzatori", &Options::chbDisabTotalizzatori, OptionFrame::Other,
     "Disabilita richiesta dati dei totalizzatori a fine scontrino"},
    {"chkForzaIntestazioneFattura", "Forza Intest. Fattura", &Options::chkForzaIntestazioneFattura,
     OptionFrame::Other},
    {"CheckLogPagamento", "Log Pagam. POS", &Options::CheckLogPagamento, OptionFrame::Other},
    {"CheckStampaLogo", "Logo In Coda", &Options::CheckStampaLogo, OptionFrame::Other},
    {"chbMatricola", "Matricola in Out File", &Options::chbMatricola, OptionFrame::Other},
};

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

MainWindow::~MainWindow()
{
    delete m_rollView;
}

void MainWindow::buildControls()
{
    auto* central = new QWidget(this);
    auto* grid = new QGridLayout(central);
    grid->setContentsMargins(10, 8, 10, 10);
    grid->setSpacing(8);
    setCentralWidget(central);

    // Channels: the box that puts the channel in service, its lamp and its
    // dump-state box (Text4..Text7).
    auto* ports = new QGroupBox("Porte di comunicazione", central);
    ports->setObjectName("Frame1");
    auto* portsLayout = new QGridLayout(ports);
    portsLayout->setHorizontalSpacing(6);
    for (int n = 1; n <= 4; ++n) {
        auto* label = new QLabel(QStringLiteral("COM %1").arg(n), ports);
        auto* box = new QCheckBox(ports);
        box->setObjectName(QStringLiteral("Check%1").arg(n));
        box->setToolTip(QStringLiteral("Abilita / disabilita COM%1").arg(n));
        label->setBuddy(box);
        m_check[n - 1] = box;
        auto* l = lamp(QStringLiteral("ShapeCom%1").arg(n), ports);
        l->setToolTip(QStringLiteral("Verde, se COM%1 disponibile").arg(n));
        m_channelLamp[n - 1] = l;
        auto* dump = statusBox(QStringLiteral("Text%1").arg(n + 3), nullptr, ports);
        dump->setToolTip(QStringLiteral("Segnala se DUMP ricevuto su COM%1").arg(n));
        fitText(dump, "DUMP NON ESEGUITONO RICEZIONE");
        m_dumpState[n - 1] = dump;
        portsLayout->addWidget(label, n - 1, 0);
        portsLayout->addWidget(box, n - 1, 1);
        portsLayout->addWidget(l, n - 1, 2);
        portsLayout->addWidget(dump, n - 1, 3);
        connect(box, &QCheckBox::toggled, this, [this, n](bool on) { m_driver.cycle().setChannelEnabled(n, on); });
    }
    portsLayout->setColumnStretch(3, 1);

    // The register's address, the connection and the program's options.
    m_frame2 = new QGroupBox("Configurazione Programma", central);
    m_frame2->setObjectName("Frame2");
    auto* conf = new QGridLayout(m_frame2);
    conf->addWidget(new QLabel("Ind. IP Stampante Fiscale", m_frame2), 0, 0);
    m_txtRemoteIP = new QLineEdit(m_frame2);
    m_txtRemoteIP->setObjectName("txtRemoteIP");
    m_txtRemoteIP->setMaxLength(64);
    fitText(m_txtRemoteIP, "255.255.255.255");
    conf->addWidget(m_txtRemoteIP, 0, 1);
    m_cmdValidateIP = new QPushButton(kValidateCaption, m_frame2);
    m_cmdValidateIP->setObjectName("cmdValidateIP");
    m_cmdValidateIP->setToolTip("Validazione Indirizzo IP");
    conf->addWidget(m_cmdValidateIP, 0, 2);
    m_shapeConn = lamp("ShapeConn", m_frame2);
    conf->addWidget(m_shapeConn, 0, 3);
    conf->addWidget(new QLabel("T.Out Conn. in Sec.", m_frame2), 1, 0);
    m_cboToutConn = new QComboBox(m_frame2);
    m_cboToutConn->setObjectName("cboToutConn");
    m_cboToutConn->setToolTip("Timeout in sec. di attesa Connessione");
    m_cboToutConn->addItems({"10 sec.", "20 sec.", "30 sec.", "40 sec.", "50 sec.", "60 sec."});
    conf->addWidget(m_cboToutConn, 1, 1);
    m_cmdResetConn = new QPushButton(kResetCaption, m_frame2);
    m_cmdResetConn->setObjectName("cmdResetConn");
    m_cmdResetConn->setToolTip("Chiude e Riavvia la connessione di Rete");
    // Wide enough for its caption while the connection closes.
    m_cmdResetConn->setMinimumWidth(m_cmdResetConn->sizeHint().width());
    conf->addWidget(m_cmdResetConn, 1, 2);
    int row = 2;

    m_frame6 = new QGroupBox("Altre Opzioni", central);
    m_frame6->setObjectName("Frame6");
    // Three columns under the other frames, so the window fits a 1024-pixel screen.
    auto* other = new QGridLayout(m_frame6);
    int otherCount = 0;
    for (const OptionBox& o : kOptionBoxes) {
        const bool inProgram = o.frame == OptionFrame::Program;
        auto* box = new QCheckBox(o.caption, inProgram ? m_frame2 : m_frame6);
        box->setObjectName(o.name);
        if (o.toolTip)
            box->setToolTip(o.toolTip);
        auto member = o.member;
        connect(box, &QCheckBox::toggled, this, [this, member](bool on) { m_driver.options().*member = on; });
        m_optionBoxes.emplace_back(box, member);
        if (member == &Options::chbInversioneScontiSuReso)
            m_chbInversioneScontiSuReso = box;
        if (inProgram)
            conf->addWidget(box, row++, 0, 1, 4);
        else {
            other->addWidget(box, otherCount % 3, otherCount / 3);
            ++otherCount;
        }
    }

    auto* invoices = new QGroupBox("Gest. Fatture su Scontrino", m_frame2);
    invoices->setObjectName("FrameFatture");
    auto* inv = new QHBoxLayout(invoices);
    m_optNonFiscal = new QRadioButton("Input Non Fiscale", invoices);
    m_optNonFiscal->setObjectName("OptNonFiscal");
    m_optFiscal = new QRadioButton("Input Fiscale", invoices);
    m_optFiscal->setObjectName("OptFiscal");
    inv->addWidget(m_optNonFiscal);
    inv->addWidget(m_optFiscal);
    inv->addStretch(1);
    connect(m_optNonFiscal, &QRadioButton::toggled, this, [this](bool on) { m_driver.options().OptNonFiscal = on; });
    conf->addWidget(invoices, row++, 0, 1, 4);
    conf->setRowStretch(row, 1);
    conf->setColumnStretch(1, 1);

    // Poll mode and timer.
    m_frame3 = new QGroupBox("Impostazioni ", central);
    m_frame3->setObjectName("Frame3");
    auto* settings = new QGridLayout(m_frame3);
    m_optionFast = new QRadioButton("Notifica (Fast)", m_frame3);
    m_optionFast->setObjectName("OptionFAST");
    m_optionSlow = new QRadioButton("Timer    (Slow)", m_frame3);
    m_optionSlow->setObjectName("OptionSLOW");
    m_txtTimerVal = new QLineEdit(m_frame3);
    m_txtTimerVal->setObjectName("txtTimerVal");
    m_txtTimerVal->setToolTip("Valore del timer in secondi");
    m_txtTimerVal->setMaxLength(9);
    fitText(m_txtTimerVal, "600000");
    m_setTimer = new QPushButton("Set timer", m_frame3);
    m_setTimer->setObjectName("cmdSetTimer");
    m_setTimer->setToolTip("Cliccare per settare il timer");
    m_text3 = statusBox("Text3", nullptr, m_frame3);
    m_text3->setAlignment(Qt::AlignCenter);
    settings->addWidget(m_optionFast, 0, 0);
    settings->addWidget(m_optionSlow, 1, 0);
    settings->addWidget(m_txtTimerVal, 0, 1);
    settings->addWidget(m_setTimer, 1, 1);
    settings->addWidget(m_text3, 2, 0, 1, 2);
    settings->setRowStretch(3, 1);

    // What the register and the program report, in read-only boxes. The frame
    // is disabled with the configuration frames while a channel serves; a
    // disabled box still shows its text.
    m_frame4 = new QGroupBox("Messaggi", central);
    m_frame4->setObjectName("Frame4");
    auto* msgs = new QGridLayout(m_frame4);
    m_text1 = statusBox("Text1", "Messaggi ricevuti da ECR", m_frame4);
    m_text2 = statusBox("Text2", "Stato del programma", m_frame4);
    m_text8 = statusBox("Text8", "Matricola", m_frame4);
    m_txtAppDataVista = statusBox("txtAppDataVista", nullptr, m_frame4);
    const std::pair<const char*, QLineEdit*> rows[] = {{"Messaggi ricevuti da ECR", m_text1},
                                                       {"Stato del programma", m_text2},
                                                       {"Matricola", m_text8},
                                                       {"Path Scambio  Dati ", m_txtAppDataVista}};
    int r = 0;
    for (const auto& [caption, box] : rows) {
        auto* label = new QLabel(caption, m_frame4);
        if (box == m_txtAppDataVista)
            label->setObjectName("lblPathScambioDati");
        msgs->addWidget(label, r, 0);
        msgs->addWidget(box, r++, 1);
    }
    msgs->setColumnStretch(1, 1);

    auto* buttons = new QHBoxLayout;
    m_cmbFile = new QPushButton(" Esegui Test", central);
    m_cmbFile->setObjectName("CMBFile");
    m_cmbFile->setToolTip("Esegue scontrino di prova per test collegamento");
    m_annullo = new QPushButton("Annullla Doc", central);
    m_annullo->setObjectName("Annullo");
    buttons->addWidget(m_cmbFile);
    buttons->addWidget(m_annullo);
    buttons->addStretch(1);

    grid->addWidget(ports, 0, 0);
    grid->addWidget(m_frame3, 1, 0);
    grid->addWidget(m_frame2, 0, 1, 2, 1);
    grid->addWidget(m_frame6, 2, 0, 1, 2);
    grid->addWidget(m_frame4, 3, 0, 1, 2);
    grid->addLayout(buttons, 4, 0, 1, 2);
    grid->setRowStretch(1, 1);
    grid->setColumnStretch(1, 1);
    // The layout keeps the window at least as large as its controls' minimum
    // sizes; the status boxes above have minimum widths that fit their texts.

    connect(m_txtRemoteIP, &QLineEdit::editingFinished, this,
            [this] { m_driver.setRemoteIP(fromQ(m_txtRemoteIP->text().trimmed())); });
    connect(m_cboToutConn, &QComboBox::currentIndexChanged, this,
            [this](int index) { m_driver.options().cboToutConn = index; });
    connect(m_cmdValidateIP, &QPushButton::clicked, this, &MainWindow::validateIP);
    connect(m_cmdResetConn, &QPushButton::clicked, this, &MainWindow::resetConnection);
    connect(m_cmbFile, &QPushButton::clicked, this, [this] { m_driver.cycle().runTestReceipt(); });
    connect(m_annullo, &QPushButton::clicked, this, [this] { m_driver.cancelDocument(); });
    connect(m_setTimer, &QPushButton::clicked, this, [this] {
        m_driver.setTimer(fromQ(m_txtTimerVal->text()));
        // The box shows the value taken ("60" for 75 seconds).
        m_txtTimerVal->setText(toQ(m_driver.options().txtTimerVal));
    });
    connect(m_optionFast, &QRadioButton::clicked, this, [this] { m_driver.cycle().selectFast(); });
    connect(m_optionSlow, &QRadioButton::clicked, this, [this] { m_driver.cycle().selectSlow(); });
}

void MainWindow::buildMenus()
{
    m_fileMenu = menuBar()->addMenu("&File");
    m_fileMenu->setObjectName("m_file");
    if (m_simulation) {
        QAction* roll = m_fileMenu->addAction("Rotolo simulato", this, &MainWindow::showRoll);
        roll->setObjectName("m_roll");
        m_fileMenu->addSeparator();
    }
    QAction* esci = m_fileMenu->addAction("T&ermina Tavor1", this, &MainWindow::terminate);
    esci->setObjectName("m_esci");
    m_fileMenu->setDefaultAction(esci);
    QMenu* help = menuBar()->addMenu("&?");
    help->setObjectName("m_help");
    help->addAction("&Manuale Tavor1", this, &MainWindow::openManual)->setObjectName("m_manual");
    help->addAction("&Info Stampante", this, &MainWindow::openPrinterPage)->setObjectName("m_printer");
    help->addAction("&Informazioni  su  Tavor1", this, &MainWindow::showAbout)->setObjectName("m_info");
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
            ShowMainWindow();
    });
    m_tray->show();
}

void MainWindow::connectDriver()
{
    JobCycle& cycle = m_driver.cycle();
    connect(&cycle, &JobCycle::statusText, this, [this](const std::string& t) { setText(m_text2, t); });
    connect(&m_driver, &Driver::statusText, this, [this](const std::string& t) { setText(m_text2, t); });
    connect(&cycle, &JobCycle::timerStateText, this, [this](const std::string& t) { setText(m_text3, t); });
    connect(&cycle, &JobCycle::registerMessage, this, [this](const std::string& t) { setText(m_text1, t); });
    connect(&cycle, &JobCycle::timerBoxVisible, this, [this](bool visible) {
        m_txtTimerVal->setVisible(visible);
        m_setTimer->setVisible(visible);
    });
    connect(&cycle, &JobCycle::watchStarted, this, [this] { m_frame3->setTitle("Stato del collegamento"); });
    connect(&cycle, &JobCycle::jobStarted, this, &MainWindow::onJobStarted);
    connect(&cycle, &JobCycle::jobFinished, this, &MainWindow::onJobFinished);
    // An RT register turns extended payments on and the inversion of
    // discounts on returns off: the boxes show what the model now holds.
    connect(&cycle, &JobCycle::identificationFinished, this, [this] { showOptionsFromModel(); });
    connect(&cycle, &JobCycle::channelsInService, this, [this](bool any) { lockFrames(any); });
    connect(&cycle, &JobCycle::testButtonsEnabled, this, [this](bool on) {
        m_cmbFile->setEnabled(on);
        m_annullo->setEnabled(on);
    });
    connect(&m_driver, &Driver::dumpStateText, this, [this](int channel, const std::string& t) {
        if (channel >= 1 && channel <= 4 && m_driver.state().windowShown)
            setText(m_dumpState[channel - 1], t);
    });
    connect(&m_driver, &Driver::serialNumberChanged, this, [this](const std::string& s) { setText(m_text8, s); });
    connect(&m_driver.connection(), &RegisterConnection::lampChanged, this,
            [this](bool connected) { setLamp(m_shapeConn, connected); });
    connect(&m_driver.connection(), &RegisterConnection::resetCaption, this,
            [this](const QString& caption) { m_cmdResetConn->setText(caption); });
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
        ShowMainWindow(); // no notification area: the window is the only way in
}

void MainWindow::fillFromModel()
{
    const Options& o = m_driver.options();
    // Painting the model must not write back into it through the handlers.
    const QSignalBlocker blockers[] = {QSignalBlocker(m_check[0]), QSignalBlocker(m_check[1]),
                                       QSignalBlocker(m_check[2]), QSignalBlocker(m_check[3]),
                                       QSignalBlocker(m_cboToutConn)};
    for (int n = 0; n < 4; ++n) {
        m_check[n]->setChecked(o.channelEnabled[n]);
        setLamp(m_channelLamp[n], true);
    }
    showOptionsFromModel();
    m_txtRemoteIP->setText(toQ(o.txtRemoteIP));
    m_cboToutConn->setCurrentIndex(o.cboToutConn);
    m_optionFast->setChecked(o.OptionFAST);
    m_optionSlow->setChecked(!o.OptionFAST);
    m_txtTimerVal->setText(toQ(o.txtTimerVal));
    m_txtTimerVal->setVisible(!o.OptionFAST);
    m_setTimer->setVisible(!o.OptionFAST);
    m_txtAppDataVista->setText(toQ(m_driver.config().dataDir));
    setLamp(m_shapeConn, false);
    lockFrames(o.channelEnabled[0] || o.channelEnabled[1] || o.channelEnabled[2] || o.channelEnabled[3]);
}

void MainWindow::lockFrames(bool channelInService)
{
    for (QGroupBox* f : {m_frame2, m_frame6, m_frame3, m_frame4})
        f->setEnabled(!channelInService);
}

void MainWindow::showOptionsFromModel()
{
    const Options& o = m_driver.options();
    for (const auto& [box, member] : m_optionBoxes) {
        const QSignalBlocker blocker(box);
        box->setChecked(o.*member);
    }
    {
        const QSignalBlocker a(m_optNonFiscal), b(m_optFiscal);
        m_optNonFiscal->setChecked(o.OptNonFiscal);
        m_optFiscal->setChecked(!o.OptNonFiscal);
    }
    // An RT register has no use for the inversion of discounts on returns.
    m_chbInversioneScontiSuReso->setVisible(!m_driver.facts().RegisterIsRT);
}

void MainWindow::ShowMainWindow()
{
    for (int n = 0; n < 4; ++n)
        setText(m_dumpState[n], m_driver.state().channels[n].DumpPending ? "DUMP NON ESEGUITO" : "DUMP ESEGUITO");
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
    m_cmdValidateIP->setText(ValidateIPAddress(fromQ(m_txtRemoteIP->text())) ? "IP OK" : "IP non Valido");
    QTimer::singleShot(2000, m_cmdValidateIP, [b = m_cmdValidateIP] { b->setText(kValidateCaption); });
}

void MainWindow::resetConnection()
{
    if (m_resetting)
        return;
    m_resetting = true;
    m_driver.setRemoteIP(fromQ(m_txtRemoteIP->text().trimmed()));
    m_driver.connection().resetConnection();
    m_cmdResetConn->setText(kResetCaption);
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
        // A window of its own, not a child: deleted with the main window.
        m_rollView = new RollView(nullptr);
        m_rollView->setWindowIcon(windowIcon());
        if (m_simulation)
            m_rollView->setRoll(QString::fromStdString(m_simulation->rollText()));
    }
    m_rollView->show();
    m_rollView->raise();
    m_rollView->activateWindow();
}

} // namespace tavor1

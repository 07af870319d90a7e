#include "gui/AboutWindow.h"
#include "driver/Driver.h"
#include "driver/JobCycle.h"
#include "gui/MainWindow.h"
#include "gui/RollView.h"
#include "driver/Simulation.h"
#include "driver/TestReceipt.h"
#include "platform/ByteFiles.h"
#include "platform/Clock.h"
#include "platform/Sinks.h"
#include "support/EventLoop.h"
#include "support/TempDir.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <gtest/gtest.h>


namespace tavor1 {
namespace {

using test::waitUntil;

class WindowFixture {
protected:
    explicit WindowFixture(const char* channels = "1100\r\n")
    {
        writeFileBytes(joinPath(config.path(), "TVCHKCOM.TXT"), channels);
    }

    void startWindow(DriverConfig c = {}, Simulation* simulation = nullptr, int closingPauseMs = 0)
    {
        c.programDir = config.path();
        c.dataDir = data.path();
        c.closingPauseMs = closingPauseMs;
        driver = std::make_unique<Driver>(c, sink, SystemClock::instance());
        window = std::make_unique<MainWindow>(*driver, simulation);
        window->start();
    }

    template <typename T = QWidget>
    T* child(const QString& name) const
    {
        return window->findChild<T*>(name);
    }

    std::string dataFile(const char* name) const { return joinPath(data.path(), name); }

    test::TempDir config;
    test::TempDir data;
    NullMessageSink sink;
    std::unique_ptr<Driver> driver;
    std::unique_ptr<MainWindow> window;
};

class MainWindowTest : public WindowFixture, public ::testing::Test {
protected:
    MainWindowTest() { startWindow(); }
};

// ---- captions and tool tips

struct ControlText {
    const char* name;
    const char* caption;  // text, or title of a frame; nullptr: not checked
    const char* toolTip;  // nullptr: not checked
};

void PrintTo(const ControlText& c, std::ostream* os) { *os << c.name; }

class Captions : public WindowFixture, public ::testing::TestWithParam<ControlText> {
protected:
    Captions() { startWindow(); }
};

TEST_P(Captions, StandAsTheProgramShowsThem)
{
    const ControlText& c = GetParam();
    QWidget* w = child(c.name);
    ASSERT_NE(w, nullptr) << c.name;
    if (c.caption) {
        const char* property = qobject_cast<QGroupBox*>(w) ? "title" : "text";
        EXPECT_EQ(w->property(property).toString().toStdString(), c.caption);
    }
    if (c.toolTip) {
        EXPECT_EQ(w->toolTip().toStdString(), c.toolTip);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Controls, Captions,
    ::testing::Values(ControlText{"Frame1", "Porte di comunicazione", nullptr},
                      ControlText{"Frame2", "Configurazione Programma", nullptr},
                      ControlText{"Frame3", "Impostazioni ", nullptr},
                      ControlText{"Frame4", "Messaggi", nullptr},
                      ControlText{"Frame6", "Altre Opzioni", nullptr},
                      ControlText{"FrameFatture", "Gest. Fatture su Scontrino", nullptr},
                      ControlText{"CMBFile", " Esegui Test", "Esegue scontrino di prova per test collegamento"},
                      ControlText{"Annullo", "Annullla Doc", nullptr},
                      ControlText{"cmdSetTimer", "Set timer", "Cliccare per settare il timer"},
                      ControlText{"cmdValidateIP", "Valida IP", "Validazione Indirizzo IP"},
                      ControlText{"cmdResetConn", "Reset Connessione", "Chiude e Riavvia la connessione di Rete"},
                      ControlText{"OptionFAST", "Notifica (Fast)", nullptr},
                      ControlText{"OptionSLOW", "Timer    (Slow)", nullptr},
                      ControlText{"OptNonFiscal", "Input Non Fiscale", nullptr},
                      ControlText{"OptFiscal", "Input Fiscale", nullptr},
                      ControlText{"chbConvXonXoff", "Conversione da XonXoff", nullptr},
                      ControlText{"chbTrace", "Abilita Trace di Comunicazione", nullptr},
                      ControlText{"chkDisableDisplay", "Disabilita Display Articoli", nullptr},
                      ControlText{"chkCodFisc", "Abilita Stampa CF/PIVA", nullptr},
                      ControlText{"chbPagamentiEstesi", "Abilita Estensione Pagamenti", nullptr},
                      ControlText{"chbInversioneScontiSuReso", "Abilita Inversione Sconti su Reso", nullptr},
                      ControlText{"chbAbilRistampaDaErroreSocket", "Abilita Ristampa da Errore di Rete ", nullptr},
                      ControlText{"chbNoInviaApCassetto", "Non Invia Apert. Cassetto da SW", nullptr},
                      ControlText{"chbDisabTotalizzatori", "Disab.  Totalizzatori",
                                  "Disabilita richiesta dati dei totalizzatori a fine scontrino"},
                      ControlText{"chkForzaIntestazioneFattura", "Forza Intest. Fattura", nullptr},
                      ControlText{"CheckLogPagamento", "Log Pagam. POS", nullptr},
                      ControlText{"CheckStampaLogo", "Logo In Coda", nullptr},
                      ControlText{"chbMatricola", "Matricola in Out File", nullptr},
                      ControlText{"chbDescrizione", "Abilita Descizione 44", nullptr},
                      ControlText{"Check1", nullptr, "Abilita / disabilita COM1"},
                      ControlText{"Check4", nullptr, "Abilita / disabilita COM4"},
                      ControlText{"ShapeCom2", nullptr, "Verde, se COM2 disponibile"},
                      ControlText{"Text4", nullptr, "Segnala se DUMP ricevuto su COM1"},
                      ControlText{"Text7", nullptr, "Segnala se DUMP ricevuto su COM4"},
                      ControlText{"Text1", nullptr, "Messaggi ricevuti da ECR"},
                      ControlText{"Text2", nullptr, "Stato del programma"},
                      ControlText{"Text8", nullptr, "Matricola"},
                      ControlText{"txtTimerVal", nullptr, "Valore del timer in secondi"},
                      ControlText{"cboToutConn", nullptr, "Timeout in sec. di attesa Connessione"},
                      ControlText{"lblPathScambioDati", "Path Scambio  Dati ", nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MainWindowTest, WindowMenusAndLists)
{
    EXPECT_EQ(window->windowTitle().toStdString(), "Zef_Tavor1 per Custom  vers. RETE                  RT  V7");
    QStringList menus;
    for (QAction* a : window->menuBar()->actions())
        menus << a->text();
    EXPECT_EQ(menus, (QStringList{"&File", "&?"}));
    QStringList items;
    for (const char* name : {"m_esci", "m_manual", "m_printer", "m_info"})
        items << child<QAction>(name)->text();
    EXPECT_EQ(items, (QStringList{"T&ermina Tavor1", "&Manuale Tavor1", "&Info Stampante", "&Informazioni  su  Tavor1"}));
    EXPECT_EQ(child<QMenu>("m_file")->defaultAction(), child<QAction>("m_esci"));

    auto* cbo = child<QComboBox>("cboToutConn");
    QStringList entries;
    for (int i = 0; i < cbo->count(); ++i)
        entries << cbo->itemText(i);
    EXPECT_EQ(entries, (QStringList{"10 sec.", "20 sec.", "30 sec.", "40 sec.", "50 sec.", "60 sec."}));
    EXPECT_EQ(cbo->currentText(), "20 sec.");

    // Fast mode: the timer box and its button are hidden.
    EXPECT_FALSE(child("txtTimerVal")->isVisible());
    EXPECT_FALSE(child("cmdSetTimer")->isVisible());
    EXPECT_TRUE(child("txtAppDataVista")->isVisible());
    EXPECT_EQ(window->trayTip(), "Tavor1 in attesa esecuzione...");
}

// ---- controls are a view of the model

TEST_F(MainWindowTest, ControlsWriteTheModelAndTheConfigurationIsLockedWhileAChannelServes)
{
    // The channel boxes show TVCHKCOM.TXT, and a ticked channel locks the option frames.
    EXPECT_TRUE(child<QCheckBox>("Check2")->isChecked());
    EXPECT_FALSE(child<QCheckBox>("Check3")->isChecked());
    EXPECT_FALSE(child("Frame6")->isEnabled());
    // "Messaggi" is locked with the others; its boxes still show their texts.
    EXPECT_FALSE(child("Frame4")->isEnabled());
    EXPECT_EQ(child<QLineEdit>("txtAppDataVista")->text().toStdString(), data.path());
    child<QCheckBox>("chbMatricola")->click();
    EXPECT_FALSE(driver->options().chbMatricola);

    child<QCheckBox>("Check1")->click();
    child<QCheckBox>("Check2")->click();
    EXPECT_EQ(driver->options().channelEnabled, (std::array<bool, 4>{false, false, false, false}));
    ASSERT_TRUE(child("Frame6")->isEnabled());
    EXPECT_TRUE(child("Frame4")->isEnabled());
    child<QCheckBox>("chbMatricola")->click();
    child<QCheckBox>("chkCodFisc")->click();
    child<QRadioButton>("OptFiscal")->click();
    child<QComboBox>("cboToutConn")->setCurrentIndex(0);
    auto* ip = child<QLineEdit>("txtRemoteIP");
    ip->setText(" 192.168.1.10 ");
    emit ip->editingFinished();
    EXPECT_TRUE(driver->options().chbMatricola);
    EXPECT_FALSE(driver->options().chkCodFisc);
    EXPECT_TRUE(driver->options().OptFiscal());
    EXPECT_EQ(driver->options().connectionTimeoutSeconds(), 10);
    EXPECT_EQ(driver->options().txtRemoteIP, "192.168.1.10");

    // Slow mode shows the timer box; a value beyond 60 seconds is taken as 60.
    child<QRadioButton>("OptionSLOW")->click();
    EXPECT_FALSE(driver->options().OptionFAST);
    window->ShowMainWindow();
    ASSERT_TRUE(child("cmdSetTimer")->isVisible());
    child<QLineEdit>("txtTimerVal")->setText("75");
    child<QPushButton>("cmdSetTimer")->click();
    EXPECT_EQ(child<QLineEdit>("txtTimerVal")->text(), "60");
    EXPECT_EQ(driver->options().TimerInterval, 60000);
    EXPECT_EQ(readFileBytes(joinPath(config.path(), "TVTIMER1.TXT")).value_or(""), "60\r\n");
}

TEST_F(MainWindowTest, AClearedChannelBoxTakesItsChannelOutOfServiceAtOnce)
{
    child<QCheckBox>("Check1")->click();
    child<QCheckBox>("Check2")->click();
    writeFileBytes(dataFile("SR_MATR.002"), "99SIM000001\r\n");
    writeFileBytes(dataFile("SR_DATI.002"), "CASH,V100\r\n");
    writeFileBytes(dataFile("SR_START.002"), "1");
    driver->cycle().poll();
    EXPECT_TRUE(fileExists(dataFile("SR_START.002"))) << "a cleared channel must not be served";
    EXPECT_FALSE(fileExists(dataFile("SR_ERR.002")));

    // Ticked again, the job is taken; with no register address it fails at once.
    child<QComboBox>("cboToutConn")->setCurrentIndex(0);
    child<QCheckBox>("Check2")->click();
    driver->cycle().poll();
    EXPECT_FALSE(fileExists(dataFile("SR_START.002")));
    EXPECT_TRUE(fileExists(dataFile("SR_ERR.002")));
}

TEST_F(MainWindowTest, TheTestButtonWritesTheTestReceiptForTheLastReadyChannel)
{
    window->ShowMainWindow();
    driver->state().channels[0].DumpPending = false;
    driver->state().channels[1].DumpPending = false;
    child<QPushButton>("CMBFile")->click();
    EXPECT_EQ(readFileBytes(dataFile("SR_DATI.002")).value_or(""), buildTestReceipt(driver->options()));
    EXPECT_EQ(readFileBytes(dataFile("SR_START.002")).value_or(""), "00000000\r\n");
    EXPECT_FALSE(fileExists(dataFile("SR_START.001")));
    EXPECT_FALSE(child<QPushButton>("CMBFile")->isEnabled());
    EXPECT_FALSE(child<QPushButton>("Annullo")->isEnabled());
}

TEST_F(MainWindowTest, TheValidationVerdictGivesWayToTheCaptionAfterRepeatedClicks)
{
    child<QCheckBox>("Check1")->click();
    child<QCheckBox>("Check2")->click();
    auto* button = child<QPushButton>("cmdValidateIP");
    child<QLineEdit>("txtRemoteIP")->setText("256.1.1.1");
    button->click();
    EXPECT_EQ(button->text().toStdString(), "IP non Valido");
    button->click();
    ASSERT_TRUE(waitUntil([&] { return button->text() == "Valida IP"; }, 5000)) << button->text().toStdString();
    // The second click's two seconds end just after the first's.
    waitUntil([] { return false; }, 500);
    EXPECT_EQ(button->text().toStdString(), "Valida IP");
}

TEST_F(MainWindowTest, ClosingShowsTheNoticeAndClearsTheChannels)
{
    // Short pauses: the closing sequence runs the event loop in them, and the
    // look at the notice below runs there.
    window.reset();
    driver.reset();
    startWindow({}, nullptr, 20);
    writeFileBytes(dataFile("SR_MATR.001"), "x");
    writeFileBytes(dataFile("SR_DATI.001"), "x");
    QString notice;
    QTimer::singleShot(0, [&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == "fChiusura" && w->isVisible())
                notice = w->findChild<QLabel*>()->text();
    });
    bool finished = false;
    QObject::connect(driver.get(), &Driver::finished, [&] { finished = true; });
    window->terminate();
    EXPECT_TRUE(finished);
    EXPECT_EQ(notice.toStdString(), " Chiusura programma Tavor1 in corso ...");
    EXPECT_FALSE(fileExists(dataFile("SR_MATR.001")));
    EXPECT_TRUE(fileExists(dataFile("SR_DATI.001")));
}

TEST(AboutWindow, ShowsTheVersionWithItsZeroAndTheTitle)
{
    EXPECT_EQ(aboutVersionText(ProgramVersion{2, 1, 7}), "Versione 2.1.0.7");
    AboutWindow about(ProgramVersion{});
    EXPECT_EQ(about.windowTitle(), "Informazioni su Tavor1");
    EXPECT_EQ(about.findChild<QLabel*>("lblTitle")->text(), "Tavor1 per sistemi Windows 32 bit");
}

// ---- against the simulated register

class SimulatedWindowTest : public WindowFixture, public ::testing::Test {
protected:
    SimulatedWindowTest() : WindowFixture("1000\r\n")
    {
        if (!simulation.start(std::string()))
            return;
        DriverConfig c;
        c.registerPort = simulation.registerPort();
        c.paymentUrl = simulation.paymentUrl();
        c.forcedRemoteIP = "127.0.0.1";
        startWindow(c, &simulation);
    }

    Simulation simulation;
};

TEST_F(SimulatedWindowTest, AnRTRegisterUpdatesTheOptionBoxesAndAJobShowsOnTheRollAndInTheTray)
{
    ASSERT_TRUE(window) << simulation.error();
    window->ShowMainWindow();
    ASSERT_TRUE(waitUntil([&] { return fileExists(dataFile("SR_MATR.001")); }, 10000));
    EXPECT_FALSE(child<QLineEdit>("Text8")->text().isEmpty());
    EXPECT_EQ(child<QLineEdit>("Text4")->text(), "DUMP ESEGUITO");
    ASSERT_TRUE(driver->facts().RegisterIsRT);
    EXPECT_TRUE(child<QCheckBox>("chbPagamentiEstesi")->isChecked());
    EXPECT_FALSE(child<QCheckBox>("chbInversioneScontiSuReso")->isChecked());
    EXPECT_TRUE(child<QCheckBox>("chbInversioneScontiSuReso")->isHidden());

    child<QAction>("m_roll")->trigger();
    ASSERT_NE(window->rollView(), nullptr);
    QString tipDuringJob;
    QObject::connect(&driver->cycle(), &JobCycle::jobStarted, [&] { tipDuringJob = window->trayTip(); });
    writeFileBytes(dataFile("SR_DATI.001"), "PLUD,N1,P250,Q2,:PANE COMUNE\r\nCASH,V500\r\n");
    writeFileBytes(dataFile("SR_START.001"), "1");
    ASSERT_TRUE(waitUntil([&] { return fileExists(dataFile("FINESCO.001")) || fileExists(dataFile("SR_ERR.001")); },
                          15000));
    EXPECT_TRUE(fileExists(dataFile("FINESCO.001"))) << readFileBytes(dataFile("SR_ERR.001")).value_or("");
    EXPECT_EQ(tipDuringJob, "Tavor1 in esecuzione...");
    EXPECT_EQ(window->trayTip(), "Tavor1 in attesa esecuzione...");
    EXPECT_TRUE(window->rollView()->toPlainText().contains("PANE COMUNE")) << window->rollView()->toPlainText().toStdString();
}

} // namespace
} // namespace tavor1

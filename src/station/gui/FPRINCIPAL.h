#pragma once

#include "login/OperatorContext.h"
#include "platform/Printer.h"
#include "platform/print/PrinterCatalog.h"
#include "station/ArticleTotal.h"
#include "station/AvailableArticles.h"
#include "station/LabelRun.h"
#include "station/SingleInstance.h"
#include "station/StationView.h"
#include "station/TrainDispatch.h"
#include "station/UtCodes.h"

#include <QWidget>

#include <functional>

class Clock;
class DataView;
class Dialogs;
class ProcessControl;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QScrollArea;
class QStatusBar;
class QTableView;
class QVBoxLayout;
class QToolButton;

// The pallet and shipment station ("Gestion de flux "). The window reads its controls and hands
// the work to the runs of this folder; it shows their wait frame and messages.
class FPRINCIPAL final : public QWidget, private StationView {
    Q_OBJECT

public:
    // `catalog` lists the printers of List4. `lockFile` keeps a second station out.
    // `endApplication` ends the program with an exit code.
    FPRINCIPAL(OperatorContext& context, Dialogs& dialogs, ProcessControl& processes, const Clock& clock,
               QString appDir, PrinterCatalog catalog, const QString& lockFile, std::function<void(int)> endApplication,
               QWidget* parent = nullptr);
    ~FPRINCIPAL() override;

    // Start-up. False when another station already runs: the operator was told and the program
    // asked to end.
    bool load();
    // Start-up step 1 alone, so a launcher can refuse a second station before the login.
    bool claimInstance();

    void XRAZ();
    bool Xrefresh();

    DataView& palletView() const { return *ADOPALETTE; }
    DataView& articleView() const { return *m_articles; }
    bool dispatchPending() const { return m_dispatchPending; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void buildHeader();
    QGroupBox* buildArticlesFrame();
    QVBoxLayout* buildPalletColumn();
    QGroupBox* buildPalletFrame();
    QGroupBox* buildCodesFrame();
    QVBoxLayout* buildLabelsColumn();
    QGroupBox* buildTrainFrame();
    void connectControls();
    void layoutControls();
    void updateBoundLabels();
    void fillPrinters();
    void chooseType(const QString& prefix);
    void stepArticleTotal();
    void updatePalletCount();
    QStringList trainList() const;
    bool isAdministrator() const;
    void focusPrinters();
    void armDeparture(const QString& number);
    void disarmDeparture();

    void Command1_Click();
    void Command5_Click();
    void List4_Click();
    void Command4_Click();
    void Command2_Click();
    void CMAJ_Click();
    void Command3_Click();
    void CPREFIXE_Click();
    void CQ_Click();
    void CAJOUTPAL_Click();
    void CRETIREPAL_Click();
    void CDEPART_Click();
    void CRECHTRAIN_Click();
    void Tnbre_Return();
    void runLabels();
    void runDispatch(const QString& trainNumber);

    // StationView
    void setWaitVisible(bool visible) override;
    void setWaitInfo(const QString& text) override;
    void setProgressVisible(bool visible) override;
    void setProgressMaximum(int maximum) override;
    void setProgressValue(int value) override;
    void setBusy(bool busy) override;
    void setArticleInfo(const QString& text) override;
    void processEvents() override;

    OperatorContext& m_context;
    Dialogs& m_dialogs;
    ProcessControl& m_processes;
    const Clock& m_clock;
    QString m_appDir;
    PrinterCatalog m_catalog;
    std::function<void(int)> m_endApplication;
    SingleInstance m_instance;
    Printer m_printer;
    ArticleTotal m_total;
    bool m_busy = false;
    bool m_dispatchPending = false;
    QString m_armedTrain; // the number the armed departure will print
    bool m_running = false;

    DataView* ADOPALETTE = nullptr;
    DataView* m_articles = nullptr;
    AvailableArticles m_available;
    UtCodes m_codes;
    LabelRun m_labelRun;
    TrainDispatch m_dispatch;

    QScrollArea* m_scroll = nullptr;
    QWidget* m_body = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* LIB = nullptr;
    QLabel* Image1 = nullptr;
    QLabel* Image2 = nullptr;
    QFrame* Line1 = nullptr;
    QFrame* Line2 = nullptr;
    QLabel* LINFO = nullptr;
    QLabel* LTOTOARTICLES = nullptr;
    QLabel* LUT = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command5 = nullptr;
    QFrame* FRIMP = nullptr;
    QLabel* LDEPART = nullptr; // says the next printer click prints the dispatch note
    QLabel* Label4 = nullptr;
    QListWidget* List4 = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* Tnbre = nullptr;
    QToolButton* CQ = nullptr;
    QGroupBox* Frame1 = nullptr;
    QPushButton* CMAJ = nullptr;
    QLineEdit* Text1 = nullptr;
    QLineEdit* Text2 = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* Command4 = nullptr;
    QPushButton* Command3 = nullptr;
    QLineEdit* TUT = nullptr;
    QLineEdit* TDAT = nullptr;
    QPushButton* CPREFIXE = nullptr;
    QLabel* G_WF_PAL_CAB = nullptr;
    QGroupBox* Frame2 = nullptr;
    QProgressBar* RB2 = nullptr;
    QFrame* FRWAIT = nullptr;
    QProgressBar* RBWAIT = nullptr;
    QLabel* LINFOWAIT1 = nullptr;
    QLabel* LINFOWAIT2 = nullptr;
    QList<QLabel*> m_boundLabels; // objectName = column, PAL_CABx shows PAL_CAB

    // Type selections and their companions
    QRadioButton* OPTBO = nullptr;
    QRadioButton* OPTDIMAB = nullptr;
    QLabel* LTOTAL = nullptr;       // companion 1
    QPushButton* CPLUS24 = nullptr; // companion 2: the article total step
    QLabel* LDIMAB = nullptr;       // companion 3
    QLabel* LTYPEAIDE = nullptr;    // companion 4
    QTableView* GRIDARTICLES = nullptr;

    // Train
    QLineEdit* TSAISIEPAL = nullptr;
    QPushButton* CAJOUTPAL = nullptr;
    QListWidget* LSTTRAIN = nullptr;
    QPushButton* CRETIREPAL = nullptr;
    QLineEdit* TNOTRAIN = nullptr;
    QLineEdit* TNBPALETTE = nullptr;
    QPushButton* CDEPART = nullptr;
    QLineEdit* TRECHTRAIN = nullptr;
    QPushButton* CRECHTRAIN = nullptr;
    QLabel* LNBTRAIN = nullptr;
};

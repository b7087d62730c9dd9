// The main window: panes, syllable groups, options, actions, and the conversion run.
#pragma once

#include <QElapsedTimer>
#include <QKeyCombination>
#include <QMainWindow>
#include <QPointer>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "moratutor/books/BookInfo.h"
#include "moratutor/ConversionKey.h"
#include "moratutor/Engine.h"

namespace moratutor::converted {
struct SourceFormats;
}
class QAction;
class QCheckBox;
class QDragEnterEvent;
class QDragMoveEvent;
class QDropEvent;
class QFileDialog;
class QGroupBox;
class QIcon;
class QLabel;
class QMenu;
class QPoint;
class QProgressBar;
class QPushButton;
class QRect;
class QSize;
class QTextEdit;
class QTimer;
class QToolBar;

namespace moratutor::ui {

class AnswerKeyPane;
class LearnerStudy;
class TFHelp;
class TFKanaChart;

class TFMain : public QMainWindow {
    Q_OBJECT

public:
    explicit TFMain(QWidget* parent = nullptr);
    ~TFMain() override;

    // Loads a file into the source pane as Ctrl+O does: the content decides how it is read.
    // Throws moratutor::ui::Error with the message for the user when it cannot be read.
    void LoadFile(const QString& path);

    // Image list imgsToLLicons: 16 images, 0..15, drawn 16 x 16.
    static QIcon imgsToLLicons(int index);
    // The help page's path for an executable path: extension replaced by ".htm".
    static QString HelpPagePath(const QString& executablePath);
    // Where a window of frame size `frame` opens on a screen's free area: centred, fitted to
    // it, never starting off it.
    static QRect PlaceOnScreen(const QSize& frame, const QRect& available);
    // Where the kana chart first opens: beside the window, on the screen.
    static QPoint KanaChartPlace(const QRect& window, const QSize& chart, const QRect& screen);
    // Where the window moves (its frame's top-left) as the chart first opens: aside, where
    // that makes room for the chart beside it.
    static QPoint WindowPlaceBesideChart(const QRect& window, const QSize& chart, const QRect& screen);
    // Path of the preferences file for this user and this program's folder.
    static QString FormPreferencesPath();
    // Tests point the window at a file of their own; empty means the normal rule.
    static void SetPreferencesPathOverride(const QString& path);
    // Where the kana counts are kept for this preferences file.
    static QString KanaCountsPath(const QString& preferencesPath);
    // Tests answer the question before the counts are reset; empty means a message box.
    static void SetResetQuestionOverride(std::function<bool(const QString& question)> answer);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

private:
    // Actions; ActionTable() makes, places and binds them.
    QAction* actLoadTextFromFile = nullptr;
    QAction* actSaveTextToFile = nullptr;
    QAction* actPrint = nullptr;
    QAction* actExportPdf = nullptr;
    QAction* actSelectAllCharacters = nullptr;
    QAction* actDeselectAllCharacters = nullptr;
    QAction* actReplaceWithHiragana = nullptr;
    QAction* actReplaceWithKatakana = nullptr;
    QAction* actReplaceWithRandomKana = nullptr;
    QAction* actQuit = nullptr;
    QAction* actHelp = nullptr;
    QAction* actAbout = nullptr;
    QAction* EditUndo = nullptr;
    QAction* EditCut = nullptr;
    QAction* EditCopy = nullptr;
    QAction* EditPaste = nullptr;
    QAction* EditDelete = nullptr;
    QAction* EditSelectAll = nullptr;
    QAction* actWordWrapChange = nullptr;
    QAction* actHighlightReplacements = nullptr;
    QAction* actKanaChart = nullptr;
    QAction* actKeyAtCaret = nullptr;
    QAction* actSayKana = nullptr;
    QAction* actSaySyllable = nullptr;

    QMenu* menuFile = nullptr;
    QMenu* menuEdit = nullptr;
    QMenu* menuHelp = nullptr;
    QMenu* PopupMenu = nullptr;
    QToolBar* ToolBar = nullptr;

    QGroupBox* grpbxCharacters = nullptr;
    std::array<QCheckBox*, 11> chkbxCharacters{};  // chkbxCharacters1 .. chkbxCharacters11
    QGroupBox* grpbxAdvanced = nullptr;
    QCheckBox* chkbxSnowball = nullptr;
    QCheckBox* chkbxReplaceE = nullptr;
    QCheckBox* chkbxReplaceSpaces = nullptr;
    QLabel* lblProgress = nullptr;
    QProgressBar* ProgressBar = nullptr;
    QGroupBox* grpbxSourceText = nullptr;
    QTextEdit* richSourceText = nullptr;
    QPushButton* spdbtnReplaceWithHiragana = nullptr;
    QPushButton* spdbtnReplaceWithKatakana = nullptr;
    QGroupBox* grpbxConvertedText = nullptr;
    QTextEdit* richConvertedText = nullptr;

    // The learner's aids: the converted pane's answer key, and the kana chart, made hidden
    // once and kept, so that it is one window that keeps its place for the session.
    AnswerKeyPane* ConvertedTextKey = nullptr;
    TFKanaChart* KanaChart = nullptr;
    bool KanaChartShownBefore = false;  // the first opening places it beside the window
    LearnerStudy* Study = nullptr;        // the kana counts, their file and the voice
    // The program's own help window, made on the first F1 that needs it.
    QPointer<TFHelp> HelpWindow;

    // File dialogs; they keep the file name between uses.
    QPointer<QFileDialog> OpenDialog;
    QPointer<QFileDialog> SaveDialog;
    QPointer<QFileDialog> PdfDialog;
    // The folder of the file last loaded or saved, and the type last saved, for the next save.
    QString LastFolder;
    QString LastSaveType;

    // The loaded book's own title, authors, language, annotation and cover, which books
    // saved from the window carry; empty when the loaded file has none of them.
    moratutor::books::BookInfo LoadedBook;

    // State of the last conversion run.
    std::int32_t ReplacementCount = 0;
    moratutor::KanaMode CurrentKanaMode = moratutor::kmHiragana;

    // Path of the preferences file, formed once at creation.
    QString PreferencesPath;

    // Creation, destruction, idle update, resize.
    void FormCreate();
    void FormDestroy();
    void FormResize();
    void UpdateActions();

    // Word wrap of the pane that received the focus.
    void GetWordWrapState(QTextEdit* sender);

    // Action handlers.
    void actLoadTextFromFileExecute();
    void actSaveTextToFileExecute();
    void SaveDialogTypeChange(const QString& filter);
    void actPrintExecute();
    void actExportPdfExecute();
    // The title a saved book or PDF carries: the loaded book's, else the file's name.
    QString BookTitle(const QString& path) const;
    // A file dragged onto the window or a pane: accepted and loaded when it is a local
    // file and no run is going on. False for anything else, which the pane may take.
    bool HandleFileDrop(QEvent* event);
    void actSelectAllCharactersExecute();
    void actDeselectAllCharactersExecute();
    void actReplaceWithHiraganaExecute();
    void actReplaceWithKatakanaExecute();
    void actReplaceWithRandomKanaExecute();
    void actQuitExecute();
    void actHelpExecute();
    void actAboutExecute();
    void actWordWrapChangeExecute();
    void actHighlightReplacementsExecute();
    void actKanaChartExecute();
    void actKeyAtCaretExecute();
    // The learner's study and the voice (UMainStudy.cpp).
    void actSayKanaExecute();
    void actSaySyllableExecute();
    void CreateStudy();
    void LoadStudy();
    void SaveStudy();
    void ShowStudyInKanaChart();
    void ResetKanaCounts();
    // A greyed speaking item tells why in its tool tip, in the menus too.
    bool ShowGreyedItemTip(QObject* watched, QEvent* event);

    // The conversion run.
    void ReplaceActionExecute(moratutor::KanaMode mode);
    void DisableAllControls();
    // Every control through which a second run could start or an option change.
    void SetRunControlsEnabled(bool enabled);
    void EnableAllControls();
    moratutor::OptionSet CurrentOptions() const;
    std::int32_t GetProgressLength() const;

    // Preferences file.
    void LoadPreferences();
    void SavePreferences();

    // The central widget; its size is the client size FormResize works with.
    QWidget* ClientArea = nullptr;

    // Runs UpdateActions once the current burst of events is handled.
    void ScheduleUpdateActions();
    // The pane the edit actions act on: the one that has (or last had) the keyboard focus
    // within this window; nullptr when focus moved elsewhere.
    QTextEdit* FocusedPane() const;

    // The source pane's text exactly as shown: paragraph ends as "\n", U+2028 kept,
    // no-break spaces kept.
    std::u16string SourceTextUnicode() const;
    // Replaces the converted pane's content; default attributes, caret at the start.
    void SetConvertedText(const std::u16string& text);
    // The same, formatted as `formats` says (already mapped to `text`); plain when they are.
    void SetConvertedText(const std::u16string& text, const moratutor::converted::SourceFormats& formats);

    // The engine's callbacks.
    void ShowProgressText(const std::u16string& text);
    void StepProgress();
    void PumpMessages();

    // Where an action's item stands: any of the main menus and the panes' popup menu.
    enum MenuPlace : unsigned { kFileMenu = 1, kEditMenu = 2, kHelpMenu = 4, kPopupMenu = 8 };
    struct MenuRow {
        QMenu* TFMain::*member;
        const char* name;
        const char* caption;  // nullptr: not on the menu bar
        MenuPlace place;
    };
    // One action: made, placed and bound from its row alone.
    struct ActionRow {
        QAction* TFMain::*member;
        const char* name;
        const char* caption;
        QKeyCombination key{};  // Qt::Key_unknown: no key of its own
        int image = -1;         // index into imgsToLLicons; -1: no image
        void (TFMain::*handler)();
        unsigned menus = 0;            // MenuPlace values
        bool separatorBefore = false;  // in each of its menus, unless it comes first there
        int toolBarOrder = 0;          // position left to right; 0: not on the tool bar
        bool toolBarSeparatorBefore = false;
        bool checkable = false;
    };
    static std::span<const MenuRow> MenuTable();
    static std::span<const ActionRow> ActionTable();

    void CreateActions();
    void CreateMenus();
    void CreateSourceTextBox();
    void CreateCharactersBox();
    void CreateAdvancedBox();
    void CreateConvertedTextBox();
    void CreateLearnersAids();
    // The chart highlights what the ticks would replace.
    void ShowOptionsInKanaChart();
    // A run's result `text` in the converted pane, formatted as the source's `formats`
    // (taken before the pass) say, with its key for the tool tips and the highlight, and
    // its counts for the chart.
    void ShowConversion(moratutor::AnswerKey key, const std::u16string& text,
                        moratutor::converted::SourceFormats formats);
    void CreateToolBar();
    void CreateRunControls();  // the replace buttons, the progress label and bar
    void SetTabOrderAndPaneFonts();
    void FillToolBar();
    void BindActions();
    void SetActionHints();
    void EditUndoExecute();
    void EditCutExecute();
    void EditCopyExecute();
    void EditPasteExecute();
    void EditDeleteExecute();
    void EditSelectAllExecute();
    void CreateControls();
    void ConnectSignals();
    void ApplyAnchors();
    void ShowPanePopupMenu(QTextEdit* pane, const QPoint& pos);
    void FocusChanged(QWidget* old, QWidget* now);
    void RunEditAction(void (*operation)(QTextEdit*));

    QTimer* IdleTimer = nullptr;
    QPointer<QTextEdit> LastFocusedPane;
    bool Running = false;
    bool CloseRequestedDuringRun = false;
    // Whether the current step's progress text has been painted, and when the label was
    // last repainted at once (see ShowProgressText).
    bool StepTextPainted = false;
    QElapsedTimer LabelRepaintClock;
    // Centres the window, frame and title bar included, on its screen's free area.
    void CentreOnScreen();
    // True once the window has been centred with the frame the window manager gave it.
    bool CentredWithFrame = false;
    bool FormDestroyDone = false;
};

}  // namespace moratutor::ui

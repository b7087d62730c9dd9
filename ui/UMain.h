// The main window: panes, syllable groups, options, actions, and the conversion run.
#pragma once

#include <QMainWindow>
#include <QString>

#include <array>
#include <cstdint>

#include "moratutor/Engine.h"

class QAction;
class QCheckBox;
class QFileDialog;
class QGroupBox;
class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;
class QTextEdit;
class QToolBar;

// Hands a file path, web address or "mailto:" link to the desktop's default handler.
void ShellOpenFile(const QString& target);

class TFMain : public QMainWindow {
    Q_OBJECT

public:
    explicit TFMain(QWidget* parent = nullptr);
    ~TFMain() override;

    // Actions, in the order of the action list.
    QAction* actLoadTextFromFile = nullptr;
    QAction* actSaveTextToFile = nullptr;
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
    QTextEdit* richSourceTextAnsi = nullptr;
    QPushButton* spdbtnReplaceWithHiragana = nullptr;
    QPushButton* spdbtnReplaceWithKatakana = nullptr;
    QGroupBox* grpbxConvertedText = nullptr;
    QTextEdit* richConvertedTextUnicode = nullptr;

    // File dialogs; they keep the file name between uses.
    QFileDialog* OpenDialog = nullptr;
    QFileDialog* SaveDialog = nullptr;

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
    void actSelectAllCharactersExecute();
    void actDeselectAllCharactersExecute();
    void actReplaceWithHiraganaExecute();
    void actReplaceWithKatakanaExecute();
    void actReplaceWithRandomKanaExecute();
    void actQuitExecute();
    void actHelpExecute();
    void actAboutExecute();
    void actWordWrapChangeExecute();

    // The conversion run.
    void ReplaceActionExecute(moratutor::KanaMode mode);
    void DisableAllControls();
    void EnableAllControls();
    moratutor::OptionSet CurrentOptions() const;
    std::int32_t GetProgressLength() const;

    // Preferences file.
    QString FormPreferencesPath() const;
    // Tests point the window at a file of their own; empty means the normal rule.
    static void SetPreferencesPathOverride(const QString& path);
    void LoadPreferences();
    void SavePreferences();

    // The help page's path for an executable path: extension replaced by ".htm".
    static QString HelpPagePath(const QString& executablePath);
};

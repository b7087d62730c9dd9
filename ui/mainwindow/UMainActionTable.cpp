// The main window's actions as one table: each row makes one action, places it in its
// menus and on the tool bar, and binds its handler. A new action is one row here.
#include "UMain.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>

#include <algorithm>
#include <vector>

#include "MessageBoxes.h"

namespace moratutor::ui {

std::span<const TFMain::MenuRow> TFMain::MenuTable() {
    // The main menus left to right, then the panes' popup menu, which is not on the bar.
    static const MenuRow rows[] = {
        {&TFMain::menuFile, "menuFile", "Файл", kFileMenu},
        {&TFMain::menuEdit, "menuEdit", "Правка", kEditMenu},
        {&TFMain::menuHelp, "menuHelp", "Справка", kHelpMenu},
        {&TFMain::PopupMenu, "PopupMenu", nullptr, kPopupMenu},
    };
    return rows;
}

std::span<const TFMain::ActionRow> TFMain::ActionTable() {
    // Rows stand in the order their items take in every menu they are in; the tool bar has
    // its own order. The panes' own keys (Ctrl+Z, Ctrl+C, ...) do the editing, so the edit
    // actions carry none.
    static const ActionRow rows[] = {
        {.member = &TFMain::actLoadTextFromFile, .name = "actLoadTextFromFile", .caption = "Загрузить текст из файла…",
         .key = Qt::CTRL | Qt::Key_O, .image = 0, .handler = &TFMain::actLoadTextFromFileExecute,
         .menus = kFileMenu, .toolBarOrder = 1},
        {.member = &TFMain::actSaveTextToFile, .name = "actSaveTextToFile", .caption = "Сохранить текст в файл…",
         .key = Qt::CTRL | Qt::Key_S, .image = 1, .handler = &TFMain::actSaveTextToFileExecute,
         .menus = kFileMenu, .toolBarOrder = 2},
        {.member = &TFMain::actPrint, .name = "actPrint", .caption = "Печать…", .key = Qt::CTRL | Qt::Key_P,
         .image = 14, .handler = &TFMain::actPrintExecute, .menus = kFileMenu, .toolBarOrder = 3},
        {.member = &TFMain::actExportPdf, .name = "actExportPdf", .caption = "Экспорт в PDF…", .image = 15,
         .handler = &TFMain::actExportPdfExecute, .menus = kFileMenu, .toolBarOrder = 4},
        {.member = &TFMain::actQuit, .name = "actQuit", .caption = "Выход", .key = Qt::CTRL | Qt::Key_Q, .image = 4,
         .handler = &TFMain::actQuitExecute, .menus = kFileMenu, .separatorBefore = true, .toolBarOrder = 10,
         .toolBarSeparatorBefore = true},
        {.member = &TFMain::EditUndo, .name = "EditUndo", .caption = "Отменить", .image = 8,
         .handler = &TFMain::EditUndoExecute, .menus = kEditMenu | kPopupMenu},
        {.member = &TFMain::EditCut, .name = "EditCut", .caption = "Вырезать", .image = 9,
         .handler = &TFMain::EditCutExecute, .menus = kEditMenu | kPopupMenu, .separatorBefore = true},
        {.member = &TFMain::EditCopy, .name = "EditCopy", .caption = "Копировать", .image = 10,
         .handler = &TFMain::EditCopyExecute, .menus = kEditMenu | kPopupMenu},
        {.member = &TFMain::EditPaste, .name = "EditPaste", .caption = "Вставить", .image = 11,
         .handler = &TFMain::EditPasteExecute, .menus = kEditMenu | kPopupMenu},
        {.member = &TFMain::EditDelete, .name = "EditDelete", .caption = "Удалить", .image = 12,
         .handler = &TFMain::EditDeleteExecute, .menus = kEditMenu | kPopupMenu},
        {.member = &TFMain::actSelectAllCharacters, .name = "actSelectAllCharacters",
         .caption = "Выбрать все группы слогов", .image = 2, .handler = &TFMain::actSelectAllCharactersExecute,
         .menus = kEditMenu, .separatorBefore = true, .toolBarOrder = 5, .toolBarSeparatorBefore = true},
        {.member = &TFMain::actDeselectAllCharacters, .name = "actDeselectAllCharacters",
         .caption = "Отменить выбор всех групп слогов", .image = 3, .handler = &TFMain::actDeselectAllCharactersExecute,
         .menus = kEditMenu, .toolBarOrder = 6},
        {.member = &TFMain::actReplaceWithHiragana, .name = "actReplaceWithHiragana",
         .caption = "Заменить слоги на Хирагану", .handler = &TFMain::actReplaceWithHiraganaExecute,
         .menus = kEditMenu, .separatorBefore = true},
        {.member = &TFMain::actReplaceWithKatakana, .name = "actReplaceWithKatakana",
         .caption = "Заменить слоги на Катакану", .handler = &TFMain::actReplaceWithKatakanaExecute,
         .menus = kEditMenu},
        {.member = &TFMain::actReplaceWithRandomKana, .name = "actReplaceWithRandomKana",
         .caption = "Заменить слоги, используя всю азбуку Кана", .handler = &TFMain::actReplaceWithRandomKanaExecute,
         .menus = kEditMenu},
        {.member = &TFMain::EditSelectAll, .name = "EditSelectAll", .caption = "Выделить всё",
         .handler = &TFMain::EditSelectAllExecute, .menus = kEditMenu | kPopupMenu, .separatorBefore = true},
        {.member = &TFMain::actWordWrapChange, .name = "actWordWrapChange", .caption = "Перенос по словам",
         .handler = &TFMain::actWordWrapChangeExecute, .menus = kPopupMenu, .separatorBefore = true,
         .checkable = true},
        {.member = &TFMain::actHighlightReplacements, .name = "actHighlightReplacements",
         .caption = "Подсвечивать заменённые слоги", .handler = &TFMain::actHighlightReplacementsExecute,
         .menus = kEditMenu, .separatorBefore = true, .checkable = true},
        {.member = &TFMain::actKeyAtCaret, .name = "actKeyAtCaret", .caption = "Подсказка к слогу у курсора",
         .key = Qt::Key_F3, .handler = &TFMain::actKeyAtCaretExecute, .menus = kEditMenu},
        {.member = &TFMain::actHelp, .name = "actHelp", .caption = "Справка", .key = Qt::Key_F1, .image = 5,
         .handler = &TFMain::actHelpExecute, .menus = kHelpMenu, .toolBarOrder = 8},
        {.member = &TFMain::actKanaChart, .name = "actKanaChart", .caption = "Таблица каны", .key = Qt::Key_F2,
         .image = 13, .handler = &TFMain::actKanaChartExecute, .menus = kHelpMenu, .toolBarOrder = 7,
         .toolBarSeparatorBefore = true},
        {.member = &TFMain::actAbout, .name = "actAbout", .caption = "О программе", .image = 6,
         .handler = &TFMain::actAboutExecute, .menus = kHelpMenu, .separatorBefore = true, .toolBarOrder = 9},
    };
    return rows;
}

void TFMain::CreateActions() {
    for (const ActionRow& row : ActionTable()) {
        auto* action = new QAction(QString::fromUtf8(row.caption), this);
        action->setObjectName(QString::fromLatin1(row.name));
        if (row.image >= 0) action->setIcon(imgsToLLicons(row.image));
        if (row.key.key() != Qt::Key_unknown) {
            action->setShortcut(QKeySequence(row.key));
            // Keys belong to the main menu's items: the window decides when they act.
            action->setShortcutContext(Qt::WindowShortcut);
        }
        action->setCheckable(row.checkable);
        this->*row.member = action;
    }
}

void TFMain::CreateMenus() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu"));
    for (const MenuRow& menuRow : MenuTable()) {
        QMenu* menu = menuRow.caption ? bar->addMenu(QString::fromUtf8(menuRow.caption)) : new QMenu(this);
        menu->setObjectName(QString::fromLatin1(menuRow.name));
        for (const ActionRow& row : ActionTable()) {
            if (!(row.menus & menuRow.place)) continue;
            if (row.separatorBefore && !menu->isEmpty()) menu->addSeparator();
            menu->addAction(this->*row.member);
        }
        this->*menuRow.member = menu;
    }
}

void TFMain::FillToolBar() {
    std::vector<const ActionRow*> buttons;
    for (const ActionRow& row : ActionTable())
        if (row.toolBarOrder > 0) buttons.push_back(&row);
    std::sort(buttons.begin(), buttons.end(),
              [](const ActionRow* a, const ActionRow* b) { return a->toolBarOrder < b->toolBarOrder; });
    for (const ActionRow* row : buttons) {
        if (row->toolBarSeparatorBefore && !ToolBar->actions().isEmpty()) {
            QAction* separator = ToolBar->addSeparator();
            if (QWidget* widget = ToolBar->widgetForAction(separator)) widget->setFixedSize(8, 22);
        }
        QAction* action = this->*row->member;
        ToolBar->addAction(action);
        if (QWidget* button = ToolBar->widgetForAction(action)) {
            button->setFixedSize(23, 22);
            button->setObjectName(QStringLiteral("tbtn") + action->objectName().mid(3));
        }
    }
}

void TFMain::BindActions() {
    for (const ActionRow& row : ActionTable()) {
        // The first main menu a row is in; the popup menu has no say over keys.
        QMenu* mainMenu = nullptr;
        for (const MenuRow& menuRow : MenuTable())
            if (!mainMenu && menuRow.caption && (row.menus & menuRow.place)) mainMenu = this->*menuRow.member;
        QAction* action = this->*row.member;
        const auto handler = row.handler;
        connect(action, &QAction::triggered, this, [this, action, mainMenu, handler] {
            // An item acts only while its top-level menu is enabled, so during a run (menus
            // disabled) its key does nothing; a check mark it toggled goes back.
            if (mainMenu && !mainMenu->isEnabled()) {
                if (action->isCheckable()) action->setChecked(!action->isChecked());
                return;
            }
            moratutor::ui::RunGuarded([this, handler] { (this->*handler)(); });
        });
    }
}

void TFMain::SetActionHints() {
    for (const ActionRow& row : ActionTable()) {
        QAction* action = this->*row.member;
        action->setToolTip(action->text());
    }
}

}  // namespace moratutor::ui

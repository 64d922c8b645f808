#include "ui/app/phrase_history.h"

#include <QCompleter>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QStringListModel>

#include "ui/app/search_history_file.h"
#include "ui/support/gui_text.h"
#include "ui/support/message_box.h"

PhraseHistory::PhraseHistory(QLineEdit* phraseEdit, QString fileName, ApplyForm applyForm)
    : QObject(phraseEdit),
      m_phraseEdit(phraseEdit),
      m_fileName(std::move(fileName)),
      m_applyForm(std::move(applyForm)),
      m_history(LoadSearchHistory(m_fileName)),
      m_phrases(new QStringListModel(this)),
      m_completer(new QCompleter(m_phrases, this)) {
    m_completer->setCaseSensitivity(Qt::CaseInsensitive);
    m_completer->setFilterMode(Qt::MatchContains);
    m_completer->setCompletionMode(QCompleter::PopupCompletion);
    m_completer->setModelSorting(QCompleter::UnsortedModel);
    phraseEdit->setCompleter(m_completer);
    phraseEdit->installEventFilter(this);
    connect(m_completer, qOverload<const QString&>(&QCompleter::activated), this, &PhraseHistory::OnPhraseChosen);
    ShowPhrases();
}

void PhraseHistory::Remember(const QString& phrase, const SearchForm& form) {
    m_history.Add({phrase.toStdString(), form});
    ShowPhrases();
    Save();
}

void PhraseHistory::Clear() {
    m_history.Clear();
    ShowPhrases();
    Save();
}

void PhraseHistory::Save() {
    if (const auto failure = SaveSearchHistory(m_history, m_fileName))
        ShowMessage(FromQString(*failure), MessageIcon::Error, m_phraseEdit->window());
}

void PhraseHistory::ShowPhrases() {
    QStringList phrases;
    for (const SearchHistoryEntry& entry : m_history.Entries()) phrases << QString::fromStdString(entry.phrase);
    m_phrases->setStringList(phrases);
}

void PhraseHistory::OnPhraseChosen(const QString& phrase) {
    for (const SearchHistoryEntry& entry : m_history.Entries()) {
        if (QString::fromStdString(entry.phrase) == phrase) {
            m_applyForm(entry.form);
            return;
        }
    }
}

bool PhraseHistory::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_phraseEdit || event->type() != QEvent::ContextMenu) return QObject::eventFilter(watched, event);
    // The box's own menu, with the history's entry below it.
    QMenu* menu = m_phraseEdit->createStandardContextMenu();
    menu->setObjectName(QStringLiteral("phraseMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addSeparator();
    QAction* clear = menu->addAction(tr("Clear search &history"), this, &PhraseHistory::Clear);
    clear->setObjectName(QStringLiteral("clearHistoryAction"));
    clear->setEnabled(!m_history.Entries().empty());
    menu->popup(static_cast<QContextMenuEvent*>(event)->globalPos());
    return true;
}

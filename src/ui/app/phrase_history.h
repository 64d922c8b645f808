#pragma once

#include <QObject>
#include <QString>

#include <functional>

#include "engine/search/search_history.h"

class QCompleter;
class QLineEdit;
class QStringListModel;

// The phrase box's memory of searches: offered as the user types (a completer), a chosen one puts its file type and
// size condition back in the form, and "Clear search history" in the box's context menu forgets them. Kept in a
// file across starts. GUI thread only.
class PhraseHistory : public QObject {
    Q_OBJECT

public:
    // Puts an entry's form back into the search form.
    using ApplyForm = std::function<void(const SearchForm& form)>;

    // fileName: where the history is kept (read now, written after each change).
    PhraseHistory(QLineEdit* phraseEdit, QString fileName, ApplyForm applyForm);

    // A search started with this phrase (UTF-8 as typed) and form.
    void Remember(const QString& phrase, const SearchForm& form);
    void Clear();
    const SearchHistory& History() const { return m_history; }
    QCompleter* Completer() const { return m_completer; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Save();
    void ShowPhrases();
    void OnPhraseChosen(const QString& phrase);

    QLineEdit* m_phraseEdit;
    QString m_fileName;
    ApplyForm m_applyForm;
    SearchHistory m_history;
    QStringListModel* m_phrases;
    QCompleter* m_completer;
};

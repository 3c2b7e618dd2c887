#pragma once
// THelpWindow: shows the help file at a numbered topic. One window serves the whole program;
// any window opens a topic with showHelpTopic().

#include <QDateTime>
#include <QWidget>

class QTextBrowser;

class THelpWindow : public QWidget {
    Q_OBJECT
public:
    explicit THelpWindow(QWidget* parent = nullptr);
    // Loads the help file if needed and scrolls to the topic; false (after telling the user)
    // when the file cannot be read or lacks the topic, in which case the contents are shown.
    bool showTopic(int context);
    int currentTopic() const { return m_topic; }
    QTextBrowser* browser() const { return m_browser; }

    // The program's help window, created on first use.
    static THelpWindow* instance();

private:
    bool load();
    QTextBrowser* m_browser = nullptr;
    QString m_html;
    QString m_loadedFrom; // path, size and time of the file m_html came from
    QDateTime m_loadedStamp;
    qint64 m_loadedSize = -1;
    int m_topic = 0;
};

// Opens the help window at a context number.
void showHelpTopic(int context);

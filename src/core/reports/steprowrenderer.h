#pragma once

#include "apihitindex.h"
#include "fullreportmodels.h"
#include "network/networkhit.h"

#include <QSet>
#include <QString>
#include <QStringList>

#include <vector>

// Renders the command rows of the custom report's table: numbering, depth
// styles, durations, errors, evidence and the API calls made while each leaf
// command ran. Every foreign text is escaped for where it lands. Used on the
// report worker for one page.
class StepRowRenderer final
{
public:
    // What one flow's rows share while they are built.
    struct FlowState
    {
        int flowIndex = 0;
        QStringList pngFiles; // the flow's assets folder, by name
        QString assetsFolderText; // the folder as the page refers to it
        QSet<QString> usedScreenshots; // file names already shown or referenced
        QSet<QString> claimedExchanges; // exchange ids already shown in this flow
    };

    StepRowRenderer(const NetworkHitList &hits, const ApiHitIndex &index);

    // Appends the rows of `commands` (and their sub-commands, numbered
    // prefix + k, then prefix + k + ".", ...) to `out`.
    void renderStepRows(QString &out, const std::vector<FlowCommand> &commands, FlowState &state, const QString &prefix) const;

    static QString renderScreenshot(const QString &path);
    static QString apiStatusClass(const QString &status);
    // The last non-empty piece of the URL split at slashes (the URL itself
    // when there is none).
    static QString endpointOf(const QString &url);
    static QString apiItem(const NetworkHit &hit);

private:
    QString screenshotPath(const FlowCommand &command, FlowState &state) const;
    QString apiCell(const FlowCommand &command, FlowState &state) const;

    const NetworkHitList &m_hits;
    const ApiHitIndex &m_index;
};

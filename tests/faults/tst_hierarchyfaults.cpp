// A UI hierarchy ten thousand levels deep (a runaway view nesting): the
// console re-indents it without recursion and in linear time, the deepest
// element lands at two spaces per level, and climbing back out to the top
// works at once.

#include "runner/hierarchyformatter.h"

#include <QTest>

class TestHierarchyFaults : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void tenThousandLevels_data();
    void tenThousandLevels();
};

void TestHierarchyFaults::tenThousandLevels_data()
{
    QTest::addColumn<int>("rawStep");
    QTest::newRow("one space per level") << 1;
    QTest::newRow("four spaces per level") << 4;
}

void TestHierarchyFaults::tenThousandLevels()
{
    QFETCH(int, rawStep);
    constexpr int kDepth = 10'000;
    HierarchyFormatter formatter;
    for (int level = 0; level < kDepth; ++level) {
        const QString line = QString(level * rawStep, u' ') + QStringLiteral("Other (id=view%1)").arg(level);
        const QString out = formatter.formatLine(line);
        if (out.size() != 2 * level + line.size() - level * rawStep || !out.endsWith(QStringLiteral("(id=view%1)").arg(level)))
            QFAIL(qPrintable(QStringLiteral("level %1 re-indented wrongly").arg(level)));
    }
    QCOMPARE(formatter.stack().size(), kDepth + 1);
    // Back to the top in one step: a sibling of the root.
    const QString top = formatter.formatLine(QStringLiteral("Application (id=app)"));
    QCOMPARE(top, QStringLiteral("Application (id=app)"));
    QCOMPARE(formatter.stack().size(), 2);
    // And the deep lines again, after the climb.
    QCOMPARE(formatter.formatLine(QString(rawStep, u' ') + QStringLiteral("Window")), QStringLiteral("  Window"));
}

QTEST_GUILESS_MAIN(TestHierarchyFaults)
#include "tst_hierarchyfaults.moc"

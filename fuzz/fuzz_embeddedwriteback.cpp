// Locating the data object embedded in report.html and writing back one
// patched artifact. Properties: the located range is a "{...}" right after
// "let reportData = " and before ";\n"; after setting one artifact of one
// command, the written object equals the original everywhere except that
// command's artifacts, where every other member is kept and the patched one
// holds the new value.
//
// Input layout: one byte choosing the command (in depth-first order), then
// the page text.

#include "fuzzsupport.h"

#include "reports/embeddedreportdata.h"
#include "reports/jsonnode.h"

namespace {

void collect(std::vector<EmbeddedCommand> &commands, std::vector<EmbeddedCommand *> &out)
{
    for (EmbeddedCommand &command : commands) {
        out.push_back(&command);
        if (command.subCommands)
            collect(*command.subCommands, out);
    }
}

// The same walk over the written JSON: the nodes of the commands, in the
// order `collect` visits them. A member that is absent or null holds none.
void collectNodes(JsonNode *list, std::vector<JsonNode *> &out)
{
    if (!list || !list->isArray())
        return;
    for (JsonNode &command : list->items) {
        out.push_back(&command);
        collectNodes(command.member(QStringView(u"subCommands")), out);
    }
}

std::vector<JsonNode *> commandNodes(JsonNode &root)
{
    std::vector<JsonNode *> out;
    JsonNode *flows = root.member(QStringView(u"flows"));
    if (!flows || !flows->isArray())
        return out;
    for (JsonNode &flow : flows->items)
        collectNodes(flow.member(QStringView(u"commands")), out);
    return out;
}

void removeMember(JsonNode &node, QStringView key)
{
    for (size_t i = 0; i < node.keys.size(); ++i) {
        if (node.keys[i] == key) {
            node.keys.erase(node.keys.begin() + qsizetype(i));
            node.values.erase(node.values.begin() + qsizetype(i));
            return;
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::Input input(data, size);
    const uint8_t choice = input.byte();
    const QString page = QString::fromUtf8(input.rest());

    const std::optional<EmbeddedDataRange> range = EmbeddedReportLocator::locate(page);
    if (!range)
        return 0;
    static const QString lead = QStringLiteral("let reportData = ");
    fuzz::check(range->start >= lead.size() && QStringView(page).mid(range->start - lead.size(), lead.size()) == lead,
                "the object follows 'let reportData = '");
    fuzz::check(range->length >= 2 && page.at(range->start) == u'{' && page.at(range->start + range->length - 1) == u'}',
                "the object is braced");
    fuzz::check(QStringView(page).mid(range->start + range->length, 2) == u";\n", "the object ends before ';\\n'");

    const QString json = page.mid(range->start, range->length);
    std::optional<EmbeddedReportData> report = EmbeddedReportData::decode(json);
    if (!report || !report->flows)
        return 0;
    std::vector<EmbeddedCommand *> commands;
    for (EmbeddedFlow &flow : *report->flows) {
        if (flow.commands)
            collect(*flow.commands, commands);
    }
    if (commands.empty())
        return 0;
    const size_t chosen = choice % commands.size();
    EmbeddedCommand &command = *commands[chosen];
    const QString key = QStringLiteral("screenshot");
    const QString value = QStringLiteral("assets/linked</script><b>.png");
    command.setArtifact(key, value);

    const QString written = report->encode();
    std::optional<JsonNode> out = JsonText::parse(written);
    std::optional<JsonNode> original = JsonText::parse(json);
    fuzz::check(out.has_value() && original.has_value(), "the written object is JSON");
    fuzz::check(!written.contains(QLatin1String("</script")), "the written object cannot end a script block");

    std::vector<JsonNode *> outNodes = commandNodes(*out);
    std::vector<JsonNode *> originalNodes = commandNodes(*original);
    if (outNodes.size() != commands.size() || originalNodes.size() != commands.size())
        fuzz::fail("the same commands are written back", QString::number(commands.size()), QString::number(outNodes.size()));
    JsonNode *patched = outNodes[chosen];
    JsonNode *before = originalNodes[chosen];
    const JsonNode *artifacts = patched->member(QStringView(u"artifacts"));
    fuzz::check(artifacts && artifacts->isObject(), "the patched command has artifacts");
    const JsonNode *set = artifacts->member(QStringView(key));
    fuzz::check(set && set->isString() && set->text == value, "the patched artifact holds the new value");
    if (const JsonNode *old = before->member(QStringView(u"artifacts")); old && old->isObject()) {
        for (size_t i = 0; i < old->keys.size(); ++i) {
            fuzz::check(artifacts->member(QStringView(old->keys[i])) != nullptr, "every other artifact is kept",
                        old->keys[i]);
        }
    }
    // Everything outside that command's artifacts is as the runner wrote it.
    removeMember(*patched, u"artifacts");
    removeMember(*before, u"artifacts");
    const QString expected = JsonText::writeCompact(*original);
    const QString actual = JsonText::writeCompact(*out);
    if (expected != actual)
        fuzz::fail("write-back keeps every member it did not change", expected, actual);
    return 0;
}

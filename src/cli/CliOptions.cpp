#include "cli/CliOptions.h"

#include <CLI/CLI.hpp>

namespace quillbox {

namespace {

// The values of options that may be given empty ("--name ''"), told apart from options not given.
struct GivenTexts {
    std::string name, price, description, pocket;
};

void Describe(CLI::App& app, CliOptions& options, std::string& profile, GivenTexts& texts)
{
    app.set_help_flag();
    app.add_option("--profile", profile);
    app.add_flag("--json", options.json);
    app.add_option("--format", options.format);
    app.add_option("-o,--output", options.output);
    app.add_option("--scale", options.scale);
    app.add_option("--game", options.game);
    app.add_flag("--dry-run", options.dryRun);
    app.add_flag("--no-history", options.noHistory);
    app.add_option("--steps", options.steps);
    app.add_flag("--detect", options.detect);
    app.add_flag("--keep", options.keep);
    app.add_option("--version", options.version);
    app.add_flag("--hack", options.hack);
    app.add_flag("--relocate", options.relocate);
    app.add_flag("--own-copy", options.ownCopy);
    app.add_flag("--replace-unknown", options.replaceUnknown);
    app.add_option("--like", options.like);
    app.add_option("--name", texts.name);
    app.add_option("--price", texts.price);
    app.add_option("--description", texts.description);
    app.add_option("--pocket", texts.pocket);
    app.add_option("--icon", options.icon);
    app.add_option("--count", options.count);
    app.add_option("--id", options.id);
    app.add_flag("--append", options.append);
    app.add_flag("--share-description", options.shareDescription);
    app.add_flag("--add", options.add);
    app.add_flag("-h,--help", options.help);
    app.add_option("arguments", options.positional);
    for (CLI::Option* option : app.get_options()) option->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
}

std::string JoinNames(const std::vector<std::string>& names)
{
    if (names.size() == 1) return "Unknown option '" + names.front() + "'.";
    std::string text = "Unknown options: ";
    for (std::size_t i = 0; i < names.size(); ++i) text += (i == 0 ? "" : ", ") + names[i];
    return text + ".";
}

}  // namespace

CliParse ParseCliOptions(std::span<const std::string> arguments)
{
    CliParse parse;
    CLI::App app;
    std::string profile;
    GivenTexts texts;
    Describe(app, parse.options, profile, texts);

    // CLI11 gets every option in one canonical "--name=value" form, so that a value that looks
    // like an option, or a one-dash long name, means what it meant to the tool's earlier parser.
    std::vector<std::string> canonical;
    std::vector<std::string> unknown;
    std::vector<std::string> positional;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--") {
            positional.insert(positional.end(), arguments.begin() + static_cast<std::ptrdiff_t>(i) + 1, arguments.end());
            break;
        }
        if (argument.size() < 2 || argument[0] != '-') {
            positional.push_back(argument);
            continue;
        }
        const std::size_t dashes = argument[1] == '-' ? 2 : 1;
        const std::size_t equals = argument.find('=');
        const std::string name = argument.substr(dashes, equals == std::string::npos ? std::string::npos : equals - dashes);
        const CLI::Option* option = app.get_option_no_throw((name.size() == 1 ? "-" : "--") + name);
        if (option == nullptr || name == "arguments") {
            unknown.push_back(name);
            continue;
        }
        const std::string longName = "--" + option->get_lnames().front();
        if (option->get_expected_min() == 0) {
            if (equals != std::string::npos) {
                parse.error = "Unexpected value after '" + argument.substr(0, equals) + "'.";
                return parse;
            }
            canonical.push_back(longName);
            // Known even when the rest of the line is not, so that a usage error is said as asked.
            if (longName == "--json") parse.options.json = true;
            continue;
        }
        if (equals != std::string::npos) {
            canonical.push_back(longName + "=" + argument.substr(equals + 1));
        } else if (i + 1 < arguments.size()) {
            canonical.push_back(longName + "=" + arguments[++i]);
        } else {
            parse.error = "Missing value after '" + argument + "'.";
            return parse;
        }
    }
    if (!unknown.empty()) {
        parse.error = JoinNames(unknown);
        return parse;
    }
    if (!positional.empty()) {
        canonical.push_back("--");
        canonical.insert(canonical.end(), positional.begin(), positional.end());
    }

    // CLI11 reads its arguments from the back.
    std::vector<std::string> reversed(canonical.rbegin(), canonical.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::ParseError& error) {
        parse.error = error.what();
    }
    if (app.count("--profile") > 0) parse.options.profile = profile;
    if (app.count("--name") > 0) parse.options.name = texts.name;
    if (app.count("--price") > 0) parse.options.price = texts.price;
    if (app.count("--description") > 0) parse.options.description = texts.description;
    if (app.count("--pocket") > 0) parse.options.pocket = texts.pocket;
    parse.options.formatGiven = app.count("--format") > 0;
    return parse;
}

}  // namespace quillbox

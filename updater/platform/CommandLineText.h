#pragma once
// Command lines Norvane builds for the programs it starts, apart from starting them.
#include <string>

// "\"<path>\" <parameters>"; a path that already starts with a quote is taken as quoted.
// Unquoted, a path with a blank ("C:\\Program Files\\...") is split: the system looks for
// "C:\\Program.exe" first, and the program sees a piece of its own path as its first argument.
std::string CommandLineOf(const std::string& path, const std::string& parameters);

// The product setup's parameters: its progress goes to the page window (handle written as a
// signed decimal), and the icon choices are passed as "yes" or "no" (any non-zero choice is yes).
std::string SetupParameterText(int page_handle, int desktop_icon, int start_menu_icon,
                               int quick_launch_icon);

// The end offer's setup parameters, naming the product that was updated: "/parentproduct=" with
// the name in quotes, which split back into exactly that name.
std::string EndOfferParameters(const std::string& parent_product);

// The elevated copy's parameters: "/adminprogress", the product name, the folder of the first
// copy's data ("/data=") and the window that learns whether the copy took over ("/handover=",
// the handle in decimal). Name and folder quoted so that they split back exactly as given.
std::string AdminProgressParameters(const std::string& product, const std::string& data_folder,
                                    unsigned long window);

// The text in double quotes by the command-line rules (inner quotes and the backslashes before
// them escaped), so that it splits back into exactly that one argument.
std::string QuotedArgument(const std::string& text);

#include "archive/ArchiveError.h"
#include "archive/ArchiveImage.h"
#include "archive/ArchiveJobs.h"
#include "storage/ArchiveTable.h"
#include "storage/UserTexts.h"
#include "tools/orx-cli/Cli.h"

#include <fstream>
#include <iostream>
#include <iterator>

namespace orx::cli {

namespace {

// Reads an archive image file; n is the file size.
bool readImage(const std::string& path, ArchiveImage& image, std::string& why)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        why = "cannot read " + path;
        return false;
    }
    std::vector<std::uint8_t> bytes;
    char buf[65536];
    while (in.read(buf, sizeof buf) || in.gcount() > 0) {
        bytes.insert(bytes.end(), buf, buf + in.gcount());
        if (bytes.size() > image::kCapacity) {
            why = path + " is larger than an archive can be (" + std::to_string(image::kCapacity) + " bytes)";
            return false;
        }
    }
    image.assign(bytes);
    return true;
}

} // namespace

int runDecode(const Args& args)
{
    std::vector<std::string> files;
    bool append = false;
    for (const std::string& a : args) {
        if (a == "--append")
            append = true;
        else if (!a.empty() && a[0] != '-')
            files.push_back(a);
        else
            return usage("unexpected argument: " + a);
    }
    if (files.size() != 2)
        return usage("decode needs an archive image and a table file");

    ArchiveImage image;
    std::string why;
    if (!readImage(files[0], image, why)) {
        std::cerr << "orx-cli: " << why << "\n";
        return kExitError;
    }

    ArchiveTable table;
    if (append && !openTable(table, files[1]))
        return kExitDamaged;
    return storeArchive(table, files[1], image, append);
}

bool openTable(ArchiveTable& table, const std::string& file)
{
    try {
        table.open(file);
        return true;
    } catch (const StorageError& e) {
        // The operator's text, then the storage layer's reason with the path.
        std::cerr << kTextDatabaseDamaged << "\n" << "orx-cli: " << e.what() << "\n";
        return false;
    }
}

int storeArchive(ArchiveTable& table, const std::string& file, const ArchiveImage& image, bool append)
{
    try {
        const std::uint64_t total =
            append ? appendArchiveToTable(table, image) : createTableFromArchive(table, file, image);
        if (!append && total == 0) {
            std::cerr << kTextArchiveEmpty << "\n";
            return kExitEmpty;
        }
        std::cout << total << "\n";
        return kExitOk;
    } catch (const ArchiveError& e) {
        std::cerr << e.what() << "\n";
    } catch (const StorageError& e) {
        std::cerr << e.what() << "\n";
    }
    return kExitError;
}

} // namespace orx::cli

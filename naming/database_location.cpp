// SPDX-License-Identifier: GPL-3.0-or-later
#include "naming/database_location.h"

#include "common/database_file.h"
#include "common/error.h"
#include "common/paths.h"
#include "common/system_calls.h"
#include "common/user_folders.h"
#include "naming/name_database.h"

namespace cartonym {

std::string user_database_path()
{
    const auto data = user_folder(UserFolderKind::data);
    return data ? join_path(*data, "snes.dat") : "";
}

std::string chosen_database_path()
{
    const std::string user = user_database_path();
    if (!user.empty()) {
        try {
            identity_of(user);
            return user;
        } catch (const Error& error) {
            // Anything but a missing file or folder means the file is there:
            // it is chosen and its fault reported when it is opened.
            if (error.number() != ErrorNumber::file_not_found && error.number() != ErrorNumber::path_not_found)
                return user;
        }
    }
    return default_database_path();
}

std::string create_user_database()
{
    const std::string user = user_database_path();
    if (user.empty())
        throw Error(ErrorNumber::path_not_found);
    create_file_with_folders(user, read_database(default_database_path()));
    return user;
}

} // namespace cartonym

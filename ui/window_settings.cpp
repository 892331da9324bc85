// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/window_settings.h"

#include "common/paths.h"
#include "common/user_folders.h"
#include "ui/text_conversion.h"

namespace cartonym::ui {

QSettings window_settings()
{
    if (const std::optional<std::string> config = user_folder(UserFolderKind::config))
        return QSettings(from_file_system(join_path(*config, "cartonym.conf")), QSettings::IniFormat);
    return QSettings(QStringLiteral("cartonym"), QStringLiteral("cartonym"));
}

} // namespace cartonym::ui

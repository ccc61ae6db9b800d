#pragma once

#include <algorithm>
#include <vector>

#include "settings/camera_fields.h"

namespace fuzz {

// The pages' texts in the order Save checks them, then the passwords in packet order: where the
// targets' inputs put them.
inline const std::vector<const settings::CameraField*>& textFields()
{
    static const std::vector<const settings::CameraField*> fields = [] {
        std::vector<const settings::CameraField*> texts;
        std::vector<const settings::CameraField*> passwords;
        for (const settings::CameraField& field : settings::cameraFields()) {
            if (field.kind == settings::FieldKind::text)
                texts.push_back(&field);
            else if (field.kind == settings::FieldKind::password)
                passwords.push_back(&field);
        }
        std::sort(texts.begin(), texts.end(),
                  [](const auto* a, const auto* b) { return a->checkOrder < b->checkOrder; });
        std::sort(passwords.begin(), passwords.end(),
                  [](const auto* a, const auto* b) { return a->packetAt < b->packetAt; });
        texts.insert(texts.end(), passwords.begin(), passwords.end());
        return texts;
    }();
    return fields;
}

} // namespace fuzz

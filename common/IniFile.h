// Placeholder so the tree builds; replaced by the real INI file service.
#pragma once

#pragma once

namespace qvx::views {
class CValidForm;
}

namespace qvx::document {
class CQvx_controllerDoc;
}

namespace qvx::app {

/// A new lower view of number n (1 programming, 2 operating state, 3 recording,
/// 4 calibration, 5 service) for the document.
[[nodiscard]] views::CValidForm* createLowerView(int n, document::CQvx_controllerDoc& document);

}  // namespace qvx::app

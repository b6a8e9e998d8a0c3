#pragma once

namespace qvx::views {
class CValidForm;
}

namespace qvx::app {

class CQvx_controllerDoc;

/// A new lower view of number n (1 programming, 2 operating state, 3 recording,
/// 4 calibration, 5 service) for the document.
[[nodiscard]] views::CValidForm* createLowerView(int n, CQvx_controllerDoc& document);

}  // namespace qvx::app

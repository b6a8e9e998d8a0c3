#include "app/lower_views.h"

#include "document/document.h"
#include "app/main_frame.h"
#include "views/valid_form.h"
#include "views/view_aufnahme.h"
#include "views/view_preferences.h"
#include "views/view_programmierung.h"
#include "views/view_service_info.h"
#include "views/view_zeit_graph.h"

namespace qvx::app {

views::CValidForm* createLowerView(int n, document::CQvx_controllerDoc& document) {
    views::CValidForm* view = nullptr;
    switch (n) {
        case 1: {
            auto* programming = new views::CViewProgrammierung(document);
            // A restored programming may switch to tenths of an inch: the unit menu follows.
            QObject::connect(
                programming, &views::CViewProgrammierung::inchUnitChanged, programming,
                [programming] {
                    if (auto* frame = qobject_cast<CMainFrame*>(programming->window())) {
                        frame->syncUnitMenu();
                    }
                });
            view = programming;
            break;
        }
        case 2: view = new views::CViewZeitGraph(document); break;
        case 3: view = new views::CViewAufnahme(document); break;
        case 4: view = new views::CViewPreferences(document); break;
        case 5: view = new views::CViewServiceInfo(document); break;
        default:
            // Views still to come show an empty form.
            view = new views::CValidForm(document);
            break;
    }
    return view;
}

}  // namespace qvx::app

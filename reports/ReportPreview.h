#pragma once

// "Предварительный просмотр": the prepared pages one at a time, with zoom,
// page navigation, printing of these pages and close. Only the page on
// screen is drawn.

#include "reports/Report.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QScrollArea;
class QSpinBox;

namespace orx::reports {

class PageView;

class ReportPreview : public QDialog
{
    Q_OBJECT

public:
    explicit ReportPreview(const PreparedReport& report, QWidget* parent = nullptr);
    ~ReportPreview() override;

    // The page shown, from 0.
    int currentPage() const { return m_page; }
    void setPage(int pageIndex);
    // 1.0 shows the paper at its size on the screen.
    double zoom() const { return m_zoom; }
    void setZoom(double zoom);
    // Pages drawn since the window opened, in order, for the tests.
    const std::vector<int>& drawnPages() const;

private:
    void zoomIn();
    void zoomOut();
    void zoomChosen(int index);
    void fitWidth();
    void printPages();
    void updateControls();

    const PreparedReport& m_report;
    int m_page = 0;
    double m_zoom = 1.0;
    PageView* m_view = nullptr;
    QScrollArea* m_scroll = nullptr;
    QSpinBox* m_pageBox = nullptr;
    QLabel* m_pageCount = nullptr;
    QComboBox* m_zoomBox = nullptr;
};

} // namespace orx::reports

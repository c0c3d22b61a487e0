#include "ui/main_window/input_list_control.h"

#include <wx/imaglist.h>
#include <wx/tooltip.h>

#include <algorithm>
#include <utility>

#include "ui/toolkit/shorten_middle.h"

namespace qm {

namespace {

// What the toolkit's report rows keep of a column for the text: a margin
// on either side, and a picture with its gap when the rows have pictures.
constexpr int kTextMargins = 8;
constexpr int kPictureGap = 5;
// Room for the rounding of the toolkit's own measure.
constexpr int kSafety = 2;

}  // namespace

wxWindow* InputListControl::rowArea() const {
  // The toolkit's report list is a header and a row area, both children;
  // only its pointer to the row area says which is which.
  for (wxWindow* child : GetChildren())
    if (static_cast<const void*>(child) == static_cast<const void*>(m_mainWin)) return child;
  return const_cast<InputListControl*>(this);
}

InputListControl::InputListControl(wxWindow* parent, const wxPoint& position, const wxSize& size)
    : wxListCtrl(parent, wxID_ANY, position, size, wxLC_REPORT | wxLC_VIRTUAL) {
  rowArea()->Bind(wxEVT_MOTION, &InputListControl::onMotion, this);
  rowArea()->Bind(wxEVT_LEAVE_WINDOW, [this](wxMouseEvent& event) {
    event.Skip();
    tooltipRow_ = -1;
    rowArea()->UnsetToolTip();
  });
}

void InputListControl::appendRow(const std::string& path) {
  rows_.push_back(path);
  SetItemCount(rowCount());
  RefreshItem(rowCount() - 1);
}

void InputListControl::appendRows(std::vector<std::string> paths) {
  if (paths.empty()) return;
  const long first = rowCount();
  rows_.insert(rows_.end(), std::make_move_iterator(paths.begin()), std::make_move_iterator(paths.end()));
  SetItemCount(rowCount());
  RefreshItems(first, rowCount() - 1);
}

void InputListControl::clearRows() {
  rows_.clear();
  DeleteAllItems();
}

std::vector<long> InputListControl::selectedRows() const {
  std::vector<long> selected;
  for (long row = GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED); row != -1;
       row = GetNextItem(row, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED))
    selected.push_back(row);
  return selected;
}

std::vector<std::string> InputListControl::removeSelectedRows() {
  const std::vector<long> selected = selectedRows();
  std::vector<std::string> removed;
  if (selected.empty()) return removed;
  removed.reserve(selected.size());
  std::vector<std::string> kept;
  kept.reserve(rows_.size() - selected.size());
  std::size_t next = 0;
  for (std::size_t row = 0; row < rows_.size(); ++row) {
    if (next < selected.size() && static_cast<long>(row) == selected[next]) {
      removed.push_back(std::move(rows_[row]));
      ++next;
    } else {
      kept.push_back(std::move(rows_[row]));
    }
  }
  rows_ = std::move(kept);
  // Rows go one at a time, first selected first, so each later one has
  // moved up by those removed before it.
  long last = selected.back() - static_cast<long>(selected.size() - 1);
  SetItemState(-1, 0, wxLIST_STATE_SELECTED);
  SetItemCount(rowCount());
  if (last == rowCount()) --last;
  if (last >= 0) {
    SetItemState(last, wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED, wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED);
    EnsureVisible(last);
  }
  Refresh();
  return removed;
}

void InputListControl::selectAllRows() {
  if (rows_.empty()) return;
  SetItemState(-1, 0, wxLIST_STATE_SELECTED);
  SetItemState(-1, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
}

void InputListControl::setMarked(std::function<bool(const std::string&)> marked) {
  marked_ = std::move(marked);
  Refresh();
}

bool InputListControl::isMarked(long row) const { return marked_ && marked_(path(row)); }

std::string InputListControl::shownText(long row) const {
  if (row < 0 || row >= rowCount()) return {};
  int room = GetColumnWidth(0) - kTextMargins - kSafety;
  if (const wxImageList* pictures = GetImageList(wxIMAGE_LIST_SMALL); pictures && pictures->GetImageCount() > 0)
    room -= pictures->GetSize().x + kPictureGap;
  const wxWindow* rows = rowArea();
  return shortenMiddleToFit(path(row), [rows, room](const std::string& text) {
    return rows->GetTextExtent(wxString::FromUTF8(text)).x <= room;
  });
}

std::string InputListControl::tooltip() const {
  const wxToolTip* tip = rowArea()->GetToolTip();
  return tip ? tip->GetTip().ToStdString(wxConvUTF8) : std::string();
}

void InputListControl::onMotion(wxMouseEvent& event) {
  event.Skip();
  int flags = 0;
  long row = HitTest(event.GetPosition(), flags);
  if (row < 0 || row >= rowCount() || !(flags & wxLIST_HITTEST_ONITEM)) row = -1;
  if (row == tooltipRow_) return;
  tooltipRow_ = row;
  if (row < 0)
    rowArea()->UnsetToolTip();
  else
    rowArea()->SetToolTip(wxString::FromUTF8(path(row)));
}

wxString InputListControl::OnGetItemText(long item, long) const { return wxString::FromUTF8(shownText(item)); }

int InputListControl::OnGetItemImage(long item) const {
  if (!marked_ || item < 0 || item >= rowCount()) return -1;
  return isMarked(item) ? 0 : 1;
}

}  // namespace qm

#include "ui/tooltip_table.h"

#include "ui/dialog_ids.h"

namespace wdi {

const ToolTipRow ToolTipTable[] = {
    {IDC_METHOD_NONE, "Does not perform any actions on the frame."},
    {IDC_METHOD_EVEN_ROWS, "Makes fields doubling."},
    {IDC_METHOD_SIMPLE, "Perform cubic interpolation for luma component."},
    {IDC_METHOD_AREA,
     "Perform cubic interpolation for luma component. Performing analyze of interlaced areas on "
     "the frame, select them, and after all interpolate only areas corrupted by interlace ."},
    {IDC_METHOD_AREA_ME,
     "Performing analyze of interlaced areas on the frame, select them, and after all "
     "interpolate only areas corrupted by interlace, then find best matching blocks from "
     "original odd rows that correspond to interpolated odd rows in the best way."},
    {IDC_METHOD_ADVANCED,
     "Use advanced method. Method is slow so it can be unusable for real-time deinterlacing."},
    {IDC_DETECTION_THRESHOLD, "Interlace detection threshold"},
    {IDC_SEARCH_AREA, "Search area"},
    {IDC_BLOCK_DISTANCE_THRESHOLD, "Block distance threshold (search Mean Squared Error)"},
    {IDC_REPLACEMENT_THRESHOLD, "Replacement threshold (0-32)"},
    {IDC_REPLACE_ONLY_INTERLACED, "Replace only interlace pixels"},
    {IDC_SEARCH_ON_INTERPOLATED, "Motion estimation search on interpolated images"},
    {IDC_DEFAULT, "Reset settings to default"},
    {IDC_REGION_LIST,
     "Processing region is a list of rectangles that can be processed and unprocessed. If pixel "
     "is in processed rectangle it will be processed, else it won't. If pixel is in several "
     "rectangles it will be processed depending on type of last rectangle in order of the "
     "queue.If pixel do not hit any rectangle it will be processed."},
    {IDC_ADD_RECT, "Add rectangle to region"},
    {IDC_DELETE_RECT, "Delete rectangle from"},
    {IDC_SAVE_REGION, "Save region to a file"},
    {IDC_LOAD_REGION, "Load region from a file"},
};

const size_t kToolTipCount = sizeof(ToolTipTable) / sizeof(ToolTipTable[0]);

}  // namespace wdi

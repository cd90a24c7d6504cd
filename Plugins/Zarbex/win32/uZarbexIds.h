// Identifiers of the update dialog's resource and of its controls, named after the places of the layout;
// shared by the resource script, the code and the tests.
#pragma once

#define IDD_frmZarbex 100

#define IDC_lblSource 1001
#define IDC_edSource 1002
#define IDC_edSourceButton 1003
#define IDC_rgLocationCaption 1004
#define IDC_rgLocationLine 1005
#define IDC_rgLocationInternet 1006
#define IDC_rgLocationLocal 1007
#define IDC_lblProgress 1008
#define IDC_mProgress 1009
#define IDC_cbMarkDates 1010
#define IDC_dbtUpdateOk 1011
// "Close" is the dialog's cancel button: Esc and the close box press it.
#define IDC_dbtUpdateCancel 2
#define IDC_imgLogo 1012
#define IDC_StatusBar 1013

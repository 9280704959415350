/* resource.h -- identifiers of the saver's resources, shared by the resource script and code. */
#define IDD_CONFIGURE 2003
#define IDI_RIPPLEFIELD 100
#define IDS_DESCRIPTION 1

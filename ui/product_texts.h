#pragma once
// Every text and address the pages show or open that is ours to choose:
// the About page's notice lines and link, the online help site, the maker's
// web page and the product tag of the link. Kept here, in one place, so a
// rebranding or a new site touches this file only. Plain macros: the
// resource script includes this file too.
//
// The maker's domain below is a reserved ".example" name on purpose: no
// real site is claimed; a distributor sets its own addresses here.

// About page, label 5245: its resource text holds the year placeholder;
// activation replaces the whole text by the fixed notice line.
#define OVL_NOTICE_TEMPLATE_TEXT "Copyright (C) %d Tern Systems, Inc."
#define OVL_NOTICE_LINE_TEXT "Copyright (C) 2026 Tern Systems, Inc."
// About page, the unnumbered second notice line.
#define OVL_NOTICE_SECOND_TEXT "All rights reserved."
// About page, label 5242: the text of the link to the maker's page.
#define OVL_LINK_TEXT "www.tern-systems.example"

// The maker's web page for the product; the link's query parameters follow it.
#define OVL_MAKER_PAGE_URL "https://www.tern-systems.example/products/video-overlay"
// Value of the link's "utm_source" parameter.
#define OVL_PRODUCT_TAG "KMVVOvLy2x"
// Scheme and host of the online help; the help path follows them.
#define OVL_ONLINE_HELP_SITE "https://help.tern-systems.example"

// Each folder's images, shown as a gallery.  An image is decoded only when
// it comes near the screen, so that thousands of them do not hold the page
// up; one the browser cannot decode shows its name in its place.

import type { Folder } from "./messages";
import { words } from "./i18n";

const near = new IntersectionObserver(
  (entries) => {
    for (const entry of entries) {
      if (!entry.isIntersecting) continue;
      near.unobserve(entry.target);
      show(entry.target as HTMLElement);
    }
  },
  { rootMargin: "400px" },
);

const images = new WeakMap<Element, Uint8Array>();

function show(figure: HTMLElement): void {
  const img = figure.querySelector("img")!;
  const url = URL.createObjectURL(new Blob([images.get(figure)! as BlobPart]));
  img.onload = () => URL.revokeObjectURL(url);
  img.onerror = () => {
    URL.revokeObjectURL(url);
    img.remove();
    figure.classList.add("undecodable");
    figure.title = words.undecodable;
  };
  img.src = url;
}

/** Shows |folders| in |view|, in place of what it showed. */
export function show_gallery(view: HTMLElement, folders: Folder[]): void {
  view.replaceChildren();
  for (const folder of folders) {
    const section = document.createElement("section");
    const heading = document.createElement("h3");
    heading.textContent = `${folder.name} (${folder.images.length})`;
    const grid = document.createElement("ul");
    grid.className = "images";
    for (const image of folder.images) {
      const item = document.createElement("li");
      const figure = document.createElement("figure");
      const img = document.createElement("img");
      img.alt = `${folder.name}/${image.name}`;
      const caption = document.createElement("figcaption");
      caption.textContent = image.name;
      figure.append(img, caption);
      item.append(figure);
      grid.append(item);
      images.set(figure, image.bytes);
      near.observe(figure);
    }
    section.append(heading, grid);
    view.append(section);
  }
}
